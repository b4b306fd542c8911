# shellcheck shell=bash
# On the board, second boot, into the other kernel: its lurva loads.
# shellcheck source=../checks.sh
. /mnt/payload/checks.sh
: "${second:?}"
if [[ $kernel == "$second" ]]; then ok "running $second"; else fail "running $kernel, not $second"; fi
dkms_installed "$second" "$version"
use_module
finish
