# shellcheck shell=sh
# Runs on the emulated board under busybox sh, given by run_suite or the
# debug kernel's run: the programs on PATH, lurva.ko where DKMS installs it,
# the expected outputs in /expected. Checks the programs and the device from
# every side. Prints "ok" or "FAIL" per check; the exit status is the number
# of failures.

E=/expected
# How hard the device is driven; the debug kernel's board, many times
# slower under its detectors and fuzzed besides, asks for less.
exchanges=${LURVA_EXCHANGES:-100} cycles=${LURVA_CYCLES:-20}
# shellcheck source=checks.sh
. /board/checks.sh
ko=/lib/modules/$(uname -r)/updates/dkms/lurva.ko

expect_run "tervane_1 prints the year's table" $E/tervane_1.out 0 tervane_1
expect_run "tervane_2 prints its banner and completion text" $E/tervane_2.out 0 tervane_2
expect_run "device_client without the module fails to open" $E/device_client_no_device.out 1 device_client

insmod "$ko" && ok "insmod lurva.ko" || fail "insmod lurva.ko"
mode=$(stat -c %A /dev/lurva 2>/dev/null)
[ "$mode" = crw-rw-rw- ] && ok "/dev/lurva appears, mode $mode" || fail "/dev/lurva mode '$mode'"
# A writable greeting could be freed by a store while a read formats it.
mode=$(stat -c %a /sys/module/lurva/parameters/greeting 2>/dev/null)
[ "$mode" = 444 ] && ok "the greeting parameter is read-only" || fail "the greeting parameter's mode is '$mode', want 444"
device_checks

lurva_efault && ok "bad user addresses, partial reads, separate files" ||
	fail "lurva_efault"

# Several clients at once, each checking every exchange.
rm -f /tmp/bad
for c in 1 2 3 4; do
	(
		i=0
		while [ $i -lt "$exchanges" ]; do
			device_client >/tmp/par$c 2>&1
			cmp -s /tmp/par$c $E/device_client.out || echo "client $c run $i" >>/tmp/bad
			i=$((i + 1))
		done
	) &
done
wait
[ ! -e /tmp/bad ] && ok "4 clients x $exchanges exchanges in parallel" ||
	fail "parallel exchanges went wrong: $(head -3 /tmp/bad)"

bad=0
i=0
while [ $i -lt "$cycles" ]; do
	rmmod lurva && [ ! -e /dev/lurva ] || bad=1
	insmod "$ko" && [ -c /dev/lurva ] || bad=1
	i=$((i + 1))
done
[ $bad = 0 ] && ok "$cycles unload and load cycles" || fail "unload and load cycles"

long_greeting_check "$ko"
if rmmod lurva && [ ! -e /dev/lurva ]; then ok "rmmod lurva removes /dev/lurva"; else fail "rmmod lurva"; fi

kernel_log_check

echo "board suite: $fails failed"
exit $fails
