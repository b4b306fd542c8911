#!/usr/bin/env bash
# board/distro/run-payload's guards: an image whose build did not finish is never
# booted, and a board that does not report in time is stopped with its last
# console lines shown.
#
# usage: tests/distro/guards.sh BOARD WORK_DIR
set -uo pipefail
[[ $# -eq 2 ]] || { echo "usage: tests/distro/guards.sh BOARD WORK_DIR" >&2; exit 2; }
work=$2
distro=$(cd "$(dirname "$0")/../../board/distro" && pwd)
run=$distro/run-payload
image=$("$distro/image" "$1")
[[ -f $image/done ]] || { echo "guards: no image" >&2; exit 2; }
fails=0
rm -rf "$work"
mkdir -p "$work/pay" "$work/half"
echo 'echo should not run' >"$work/pay/script"

# case, want status, want text in standard error, run's arguments...
expect() {
	local name=$1 want=$2 text=$3 rc
	shift 3
	"$run" "$@" >"$work/out" 2>"$work/err"
	rc=$?
	if [[ $rc -eq $want ]] && grep -qF -- "$text" "$work/err" && ! grep -q 'should not run' "$work/out"; then
		echo "ok   $name"
	else
		echo "FAIL $name: status $rc (want $want), standard error:"
		cat "$work/err"
		fails=$((fails + 1))
	fi
}

# A half-built image: the disk and its board.conf are there, the
# done-marker is not.
cp "$image/board.conf" "$work/half/"
expect "an image without its done-marker is refused" 2 "is not a finished image" \
	--image "$work/half" --work "$work/b1" --payload "$work/pay"
# Too short for systemd to start: stands for a board that hangs.
expect "a board that does not report is stopped at the timeout" 124 "no exit marker within 8s" \
	--image "$image" --work "$work/b2" --payload "$work/pay" --timeout 8
grep -q 'last console lines' "$work/err" && echo "ok   the last console lines are shown" ||
	{ echo "FAIL no console lines shown"; fails=$((fails + 1)); }
echo "guards: $fails failed"
exit "$fails"
