# Runs on the emulated board under busybox sh, given by run_suite: the
# tervane-examples .deb in /root/debs, a dpkg status naming the board's libc,
# lurva.ko where DKMS installs it, the expected outputs in /expected.
# Installs and removes the package as a user would, and checks the programs
# and the device in between. Prints "ok" or "FAIL" per check; the exit status
# is the number of failures. Without /root/debs (the debug kernel's board)
# the programs are already on PATH and the module is loaded with insmod.

E=/expected
# How hard the device is driven; the debug kernel's board, many times
# slower under its detectors and fuzzed besides, asks for less.
exchanges=${LURVA_EXCHANGES:-100} cycles=${LURVA_CYCLES:-20}
. /board/checks.sh
ko=/lib/modules/$(uname -r)/updates/dkms/lurva.ko
packaged=no
[ -d /root/debs ] && packaged=yes

if [ $packaged = yes ]; then
mkdir -p /var/lib/dpkg/info
if dpkg -i /root/debs/tervane-examples_*_armhf.deb >/tmp/dpkg 2>&1; then
	ok "dpkg -i tervane-examples (Depends met by the board's libc6)"
else
	fail "dpkg -i tervane-examples:"
	cat /tmp/dpkg
fi
for p in tervane_1 tervane_2 device_client; do
	[ "$(stat -c '%a %u:%g' /usr/bin/$p 2>/dev/null)" = "755 0:0" ] &&
		ok "/usr/bin/$p 0755 root:root" || fail "/usr/bin/$p: $(ls -l /usr/bin/$p 2>&1)"
done
fi

expect_run "tervane_1 prints the year's table" $E/tervane_1.out 0 tervane_1
expect_run "tervane_2 prints its banner and completion text" $E/tervane_2.out 0 tervane_2
expect_run "device_client without the module fails to open" $E/device_client_no_device.out 1 device_client

[ -f "$ko" ] && ok "lurva.ko where DKMS installs it for $(uname -r)" || fail "no $ko"
if [ $packaged = yes ]; then
	modprobe lurva && ok "modprobe lurva" || fail "modprobe lurva"
else
	insmod $ko && ok "insmod lurva.ko" || fail "insmod lurva.ko"
fi
mode=$(stat -c %A /dev/lurva 2>/dev/null)
[ "$mode" = crw-rw-rw- ] && ok "/dev/lurva appears, mode $mode" || fail "/dev/lurva mode '$mode'"
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
	insmod $ko && [ -c /dev/lurva ] || bad=1
	i=$((i + 1))
done
[ $bad = 0 ] && ok "$cycles unload and load cycles" || fail "unload and load cycles"

long_greeting_check $ko
unload="rmmod lurva"
[ $packaged = no ] || unload="modprobe -r lurva"
if $unload && [ ! -e /dev/lurva ]; then ok "$unload removes /dev/lurva"; else fail "$unload"; fi

kernel_log_check

if [ $packaged = yes ]; then
	dpkg -r tervane-examples >/tmp/dpkg 2>&1 || { fail "dpkg -r tervane-examples:"; cat /tmp/dpkg; }
	[ ! -e /usr/bin/tervane_1 ] && [ ! -e /usr/bin/device_client ] &&
		ok "dpkg -r tervane-examples removes the programs" || fail "programs left after dpkg -r"
fi

echo "board suite: $fails failed"
exit $fails
