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
	"$@" >/tmp/out 2>/tmp/err
	rc=$?
	if cmp -s /tmp/out "$want_out" && [ ! -s /tmp/err ] && [ "$rc" = "$want_rc" ]; then
		ok "$name"
	else
		fail "$name: exit status $rc, output and standard error follow"
		cat /tmp/out /tmp/err
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
