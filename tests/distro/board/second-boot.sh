# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# Second boot, into the flavour dkms.sh gave headers: its lurva loads and
# serves the exchange. Then a kernel's removal takes its build (the first
# kernel's, which is not running), and removing dkms takes lurva-dkms
# along.
: "${second:?} ${first:?}"
if [[ $kernel == "$second" ]]; then ok "running $second"; else fail "running $kernel, not $second"; fi
dkms_installed "$second" "$version"
use_module
step "apt-get purge linux-image-$first linux-headers-$first" \
	apt-get purge -y "linux-image-$first" "linux-headers-$first"
no_lurva "$first"
dkms_installed "$second" "$version"
audit "the first kernel's removal"
step "apt-get remove dkms" apt-get remove -y dkms
st=$(dpkg-query -W -f '${db:Status-Abbrev}' lurva-dkms 2>/dev/null)
if [[ $st != ii* ]]; then ok "lurva-dkms removed with dkms ('$st')"; else fail "lurva-dkms still installed"; fi
if ! lurva_ko "$second" >/dev/null; then ok "no lurva.ko left for $second"; else fail "left: $(lurva_ko "$second")"; fi
audit "dkms's removal"
