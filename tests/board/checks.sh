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

# The kernel log on stdin as it is judged, on stdout. Cut out: the fault
# injector's own stack dumps (failslab's, asked for), and each KCSAN report
# none of whose frames is lurva's ("lurva_read+0x..." or "[lurva]"), a race
# of the kernel's own, which goes to the file $1 instead. The task's name
# ("Comm: lurva_fuzz") never makes a race lurva's.
kernel_log_filter() {
	awk -v races="$1" '
	function flush() {
		if (block ~ /\[lurva\]|lurva_[A-Za-z0-9_]*\+0x/)
			printf "%s", block
		else
			printf "%s", block >races
		block = ""
		inb = 0
	}
	{ sub(/\r$/, "") }
	/^(\[ *[0-9]+\.[0-9]+\] )?FAULT_INJECTION: forcing a failure/ { dump = 1; next }
	dump && /^(\[ *[0-9]+\.[0-9]+\] )?(name |CPU: |Hardware name: |Call trace:|Backtrace:|[ \t])/ { next }
	{ dump = 0 }
	/^(\[ *[0-9]+\.[0-9]+\] )?BUG: KCSAN:/ { if (inb) flush(); block = $0 "\n"; inb = 1; next }
	inb { block = block $0 "\n"; if (/^(\[ *[0-9]+\.[0-9]+\] )?=+$/) flush(); next }
	{ print }
	END { if (inb) printf "%s", block }'
}

# Judges the kernel log on stdin (dmesg, or the console) against the one
# list of the kernel's trouble reports, TROUBLE (default: the copy the host
# puts beside this file): prints each trouble line and what follows the
# first, and returns 1, or returns 0. The kernel's own races are listed as
# notes.
kernel_log_trouble() {
	trouble=${TROUBLE:-/board/kernel-trouble} t=${TMPDIR:-/tmp}/kernel
	kernel_log_filter "$t.races" >"$t.judged"
	if [ -s "$t.races" ]; then
		echo "note KCSAN saw races in the kernel itself, none through lurva (not judged):"
		grep 'BUG: KCSAN:' "$t.races" | sort | uniq -c
	fi
	rm -f "$t.races"
	grep -En "$(grep -v '^#' "$trouble")" "$t.judged" >"$t.bad" || return 0
	head -n 20 "$t.bad"
	first=$(head -n 1 "$t.bad" | cut -d: -f1)
	echo "---- kernel log from its line $first"
	sed -n "$first,$((first + 60))p" "$t.judged"
	return 1
}

kernel_log_check() {
	if dmesg | kernel_log_trouble >/tmp/kernel_report; then
		cat /tmp/kernel_report
		ok "kernel log holds no report of trouble"
	else
		fail "kernel log reports trouble:"
		cat /tmp/kernel_report
	fi
}
