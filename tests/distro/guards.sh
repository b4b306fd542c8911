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
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
run=$distro/run-payload
image=$("$distro/image" "$1")
[[ -f $image/done ]] || { echo "guards: no image" >&2; exit 2; }
rm -rf "$work"
mkdir -p "$work/pay" "$work/half"
echo 'echo should not run' >"$work/pay/script"

# A half-built image: the disk and its board.conf are there, the
# done-marker is not.
cp "$image/board.conf" "$work/half/"
expect "an image without its done-marker is refused" 2 'is not a finished image;!should not run' \
	"$run" --image "$work/half" --work "$work/b1" --payload "$work/pay"
# Too short for systemd to start: stands for a board that hangs.
expect "a board that does not report is stopped at the timeout, its last console lines shown" 124 \
	'no exit marker within 8s;last console lines;!should not run' \
	"$run" --image "$image" --work "$work/b2" --payload "$work/pay" --timeout 8
test_done
