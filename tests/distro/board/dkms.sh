# shellcheck shell=bash
# On the board, one boot: what Debian's own DKMS tests and the kernel's
# DKMS hooks cover, with a second kernel flavour (in the image, without its
# headers): lurva is built for every kernel that has headers, headers that
# come after the package get it by their hook, a kernel's removal takes its
# build, and removing dkms takes lurva-dkms along. dpkg has nothing
# half-done after any step.
# shellcheck source=../checks.sh
. /mnt/payload/checks.sh
: "${second:?}"
# The .debs straight from the payload disk: a kernel's .deb has the
# archive's version, so apt fetches it as the archive's, sandboxed, and
# Debian 13's home folders are closed to its sandbox user.
cd "$P/debs" || exit 1

audit() {
	local a
	a=$(dpkg --audit 2>&1)
	if [[ -z $a ]]; then ok "dpkg --audit empty after $1"; else fail "dpkg --audit after $1:"; echo "$a"; fi
}
# kernel: dkms has nothing of lurva for KERNEL, built or installed (its
# sources may stay "added": they are no kernel's).
no_lurva() {
	local st
	st=$(dkms_status -m lurva -k "$1" | grep -F ", $1,")
	if [[ -z $st && ! -e /var/lib/dkms/lurva/$version/$1 ]] && ! lurva_ko "$1" >/dev/null; then
		ok "no lurva for $1"
	else
		fail "lurva for $1: '$st' $(lurva_ko "$1") $(ls -d "/var/lib/dkms/lurva/$version/$1" 2>&1)"
	fi
}
# lurva installed for each kernel that has headers, and for no other.
every_kernel() {
	local d
	for d in /lib/modules/*/; do
		d=${d%/} d=${d##*/}
		if [[ -f /lib/modules/$d/build/Makefile ]]; then dkms_installed "$d" "$version"; else no_lurva "$d"; fi
	done
}

# The image has the second kernel without its headers.
if [[ -e /boot/vmlinuz-$second && ! -e /lib/modules/$second/build/Makefile ]]; then
	ok "linux-image-$second installed without its headers"
else
	fail "the image should have linux-image-$second without its headers"
fi
step "apt-get install lurva-dkms" apt-get install -y "./lurva-dkms_${version}_all.deb"
every_kernel
audit "lurva-dkms"

step "apt-get install linux-headers-$second" apt-get install -y ./linux-headers-"$second"_*.deb
dkms_installed "$second" "$version"
every_kernel
audit "the headers"

step "apt-get purge linux-image-$second linux-headers-$second" \
	apt-get purge -y "linux-image-$second" "linux-headers-$second"
no_lurva "$second"
dkms_installed "$kernel" "$version"
audit "the kernel's removal"

step "apt-get remove dkms" apt-get remove -y dkms
st=$(dpkg-query -W -f '${db:Status-Abbrev}' lurva-dkms 2>/dev/null)
if [[ $st != ii* ]]; then ok "lurva-dkms removed with dkms ('$st')"; else fail "lurva-dkms still installed"; fi
if ! lurva_ko "$kernel" >/dev/null; then ok "no lurva.ko left for $kernel"; else fail "left: $(lurva_ko "$kernel")"; fi
audit "dkms's removal"
finish
