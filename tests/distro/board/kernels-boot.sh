# On the board, second boot, into the other kernel: its lurva loads.
. /mnt/payload/checks.sh
. /mnt/payload/vars
if [[ $kernel == "$second" ]]; then ok "running $second"; else fail "running $kernel, not $second"; fi
dkms_installed "$second" "$version"
use_module
finish
