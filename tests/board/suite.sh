# shellcheck shell=sh
# Runs on the emulated board under busybox sh, given by run_suite (every
# board) or the debug kernel's run: the programs on PATH, lurva.ko where
# DKMS installs it, the expected outputs in /expected. Checks the programs
# and the device from every side.

E=/expected
# How hard the device is driven: the named boards and the debug kernel,
# many times slower under its detectors, ask for less.
exchanges=${LURVA_EXCHANGES:-100} cycles=${LURVA_CYCLES:-20}
# shellcheck source=checks.sh
. /board/checks.sh
ko=/lib/modules/$(uname -r)/updates/dkms/lurva.ko
# exchange BYTE: one open file, written BYTE, then read to its end.
# shellcheck disable=SC2059 # the format's octal escape makes the byte
exchange() { { printf "\\$(printf %o "$1")" >&3 && cat <&3; } 3<>/dev/lurva; }

expect_run "tervane_1 prints the year's table" $E/tervane_1.out 0 tervane_1
expect_run "tervane_2 prints its banner and completion text" $E/tervane_2.out 0 tervane_2
expect_run "device_client without the module fails to open" $E/device_client_no_device.out 1 device_client

# The runner keeps the kernel's messages off the console (run_suite looks).
echo "<3>board-test-noise" >/dev/kmsg
[ "$(dmesg | grep -c board-test-noise)" = 1 ] && ok "a kernel message reaches dmesg" ||
	fail "a kernel message did not reach dmesg"

insmod "$ko" && ok "insmod lurva.ko into $(uname -r) ($(uname -m))" || fail "insmod lurva.ko"
mode=$(stat -c %A /dev/lurva 2>/dev/null)
[ "$mode" = crw-rw-rw- ] && ok "/dev/lurva appears, mode $mode" || fail "/dev/lurva mode '$mode'"
# A writable greeting could be freed by a store while a read formats it.
mode=$(stat -c %a /sys/module/lurva/parameters/greeting 2>/dev/null)
[ "$mode" = 444 ] && ok "the greeting parameter is read-only" || fail "the greeting parameter's mode is '$mode', want 444"

# The device as its users meet it: device_client as root and as an
# ordinary user, and cat reading the greeting to its end.
expect_run "device_client exchanges with the module" $E/device_client.out 0 device_client
grep -q '^nobody:' /etc/passwd 2>/dev/null ||
	{ mkdir -p /etc && echo 'nobody:x:65534:65534:nobody:/:/bin/sh' >>/etc/passwd; }
expect_run "an ordinary user can use the device" $E/device_client.out 0 su -s /bin/sh -c device_client nobody
# Compared as files: a trailing newline or NUL must not pass.
printf 'Hello from lurva' >/tmp/want
timeout 10 cat /dev/lurva >/tmp/got && cmp -s /tmp/got /tmp/want &&
	ok "cat /dev/lurva reads the greeting and ends" || fail "cat /dev/lurva read '$(cat /tmp/got)'"

if lurva_efault >/tmp/efault; then
	ok "bad user addresses, partial reads, seeks, separate files ($(tail -n 1 /tmp/efault))"
else
	fail "lurva_efault:"
	cat /tmp/efault
fi

# Clients at once, each with its own byte, checking every reply: one file's
# byte must never show in another's.
rm -f /tmp/bad
for b in 99 7 150 255; do
	(
		i=0
		while [ $i -lt "$exchanges" ]; do
			if [ $b = 99 ]; then
				device_client >/tmp/par$b 2>&1 && cmp -s /tmp/par$b $E/device_client.out
			else
				[ "$(exchange $b)" = "Hello, you sent $b" ]
			fi || echo "client $b run $i" >>/tmp/bad
			i=$((i + 1))
		done
	) &
done
wait
[ ! -e /tmp/bad ] && ok "4 clients x $exchanges exchanges in parallel, each its own byte" ||
	fail "parallel exchanges went wrong: $(head -3 /tmp/bad)"

bad=0 i=0
while [ $i -lt "$cycles" ]; do
	rmmod lurva && [ ! -e /dev/lurva ] || bad=1
	insmod "$ko" && [ -c /dev/lurva ] || bad=1
	i=$((i + 1))
done
[ $bad = 0 ] && ok "$cycles unload and load cycles" || fail "unload and load cycles"

# A greeting of 155 bytes: the client shows exactly the first 20 of the
# reply, and the module keeps 123 of them before the number.
g=Greetings_from_the_lurva_device
g=$g$g$g$g$g
rmmod lurva && insmod "$ko" greeting="$g" || fail "reload with a long greeting"
printf 'Writing a value 99 to lurva\nString read from lurva = Greetings_from_the_l\n' >/tmp/long
expect_run "a reply over 20 bytes shows its first 20" /tmp/long 0 device_client
printf '%.123s 99' "$g" >/tmp/want
exchange 99 >/tmp/got && cmp -s /tmp/got /tmp/want && ok "a greeting over 123 bytes is cut to 123" ||
	fail "a greeting over 123 bytes is cut to 123: got '$(cat /tmp/got)'"

# An open file pins the module (.owner): rmmod is refused while a process
# holds one. Unpinned, the holder's exit would run freed code and hang in
# the Oops, so it is then left as it is; no other process holds the file.
sleep 600 3<>/dev/lurva &
holder=$!
i=0
while [ ! -e /proc/$holder/fd/3 ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if rmmod lurva 2>/dev/null; then
	fail "unload with a file open is refused: it unloaded"
else
	ok "unload with a file open is refused"
	kill $holder
	wait $holder
fi
if rmmod lurva && [ ! -e /dev/lurva ]; then ok "rmmod lurva removes /dev/lurva"; else fail "rmmod lurva"; fi

kernel_log_check
test_done
