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
