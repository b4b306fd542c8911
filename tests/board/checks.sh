# shellcheck shell=sh
# The board's side of tests/lib.sh, for the scripts that run on the
# emulated board (busybox sh): each check prints "ok   NAME" or
# "FAIL NAME..." and test_done prints the tally and exits 1 when any
# check failed, as on the host.
passed=0 failed=0
ok() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
test_done() { echo "$passed passed, $failed failed"; exit $((failed > 0)); }

# name, expected output file, expected exit status, command...
expect_run() {
	name=$1 want_out=$2 want_rc=$3
	shift 3
	"$@" >/tmp/out 2>/tmp/err </dev/null
	rc=$?
	if cmp -s /tmp/out "$want_out" && [ ! -s /tmp/err ] && [ "$rc" = "$want_rc" ]; then
		ok "$name"
	else
		fail "$name: exit status $rc, output and standard error follow"
		cat /tmp/out /tmp/err
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
	dump && /^(\[ *[0-9]+\.[0-9]+\] )?(name |CPU: |Tainted: |Hardware name: |Call trace:|Backtrace:|[ \t])/ { next }
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

# The kernel's log against the one list of its trouble reports, which the
# host puts beside this file.
kernel_log_check() {
	if dmesg | kernel_log_trouble >/tmp/kernel_report; then
		cat /tmp/kernel_report
		ok "kernel log holds no report of trouble"
	else
		fail "kernel log reports trouble:"
		cat /tmp/kernel_report
	fi
}
