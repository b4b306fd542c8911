# shellcheck shell=sh
# Check helpers for scripts that run on the emulated board (busybox sh).
# Each check prints "ok" or "FAIL"; $fails counts the failures.
fails=0

ok() { echo "ok   $*"; }
fail() {
	echo "FAIL $*"
	fails=$((fails + 1))
}

# name, expected output file, expected exit status, command...
expect_run() {
	name=$1 want_out=$2 want_rc=$3
	shift 3
	"$@" >/tmp/out 2>/tmp/err
	rc=$?
	if cmp -s /tmp/out "$want_out" && [ ! -s /tmp/err ] && [ "$rc" = "$want_rc" ]; then
		ok "$name"
	else
		fail "$name: exit status $rc, output and standard error follow"
		cat /tmp/out /tmp/err
	fi
}

# The device as its users meet it, with lurva loaded: device_client's exact
# exchange as root and as an ordinary user, and cat reading the greeting
# to its end.
device_checks() {
	expect_run "device_client exchanges with the module" /expected/device_client.out 0 device_client
	grep -q '^nobody:' /etc/passwd 2>/dev/null ||
		{ mkdir -p /etc && echo 'nobody:x:65534:65534:nobody:/:/bin/sh' >>/etc/passwd; }
	expect_run "an ordinary user can use the device" /expected/device_client.out 0 \
		su -s /bin/sh -c device_client nobody
	printf 'Hello from lurva' >/tmp/hello
	timeout 10 cat /dev/lurva >/tmp/cat
	rc=$?
	[ $rc = 0 ] && cmp -s /tmp/cat /tmp/hello && ok "cat /dev/lurva reads the greeting and ends" ||
		fail "cat /dev/lurva: status $rc, read '$(cat /tmp/cat)'"
}

# A greeting of 155 bytes: the client shows exactly the first 20 of the
# reply, and the module keeps 123 of them before the number. Reloads the
# module at KO with that greeting; leaves it loaded.
long_greeting_check() {
	g=Greetings_from_the_lurva_device
	g=$g$g$g$g$g
	rmmod lurva || fail "rmmod lurva"
	insmod "$1" greeting="$g" || fail "insmod with greeting"
	printf 'Writing a value 99 to lurva\nString read from lurva = Greetings_from_the_l\n' >/tmp/long
	expect_run "a reply over 20 bytes shows its first 20" /tmp/long 0 device_client
	printf '%.123s 99' "$g" >/tmp/long
	# One open file: the write, then its whole reply.
	(printf c >&3 && cat <&3) 3<>/dev/lurva >/tmp/out
	if cmp -s /tmp/out /tmp/long; then
		ok "a greeting over 123 bytes is cut to 123"
	else
		fail "a greeting over 123 bytes is cut to 123: got '$(cat /tmp/out)'"
	fi
}

# The kernel's log against the one list of its trouble reports, which the
# host puts beside this file.
kernel_log_check() {
	if dmesg | grep -E "$(grep -v '^#' /board/kernel-trouble)" >/tmp/kernel_bad; then
		fail "kernel log reports trouble:"
		cat /tmp/kernel_bad
	else
		ok "kernel log holds no report of trouble"
	fi
}
