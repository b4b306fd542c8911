# shellcheck shell=sh
# Runs on every named board under busybox sh, whatever its kernel: the
# module built for that kernel at /lib/modules/lurva.ko, device_client on
# PATH, the expected outputs in /expected. The exit status is the number
# of failed checks.

ko=/lib/modules/lurva.ko
# shellcheck source=../board/checks.sh
. /board/checks.sh
echo "board: machine $(uname -m)"

insmod $ko && ok "insmod lurva.ko into $(uname -r)" || fail "insmod lurva.ko into $(uname -r)"
device_checks
long_greeting_check $ko
rmmod lurva && [ ! -e /dev/lurva ] && ok "rmmod lurva removes /dev/lurva" || fail "rmmod lurva"
kernel_log_check

echo "board $(uname -r): $fails failed"
exit $fails
