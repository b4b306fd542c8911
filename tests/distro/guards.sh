#!/usr/bin/env bash
# The Debian images' guards: an installed system that is not merged /usr,
# that dpkg --audit or dpkg --verify finds fault with, or whose apt marks
# are not a normal install's is refused (board/distro/image keeps nothing
# then); run-payload never boots an image whose build did not finish, and
# stops a board that does not report in time with its last console lines.
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

# distro_judge on a small disk laid out as the board leaves one, then
# spoilt one way at a time.
# shellcheck source=../../board/distro/lib.sh
. "$distro/lib.sh"
# shellcheck disable=SC2317 # called through expect
judged() {
	rm -rf "$work/tree" && mkdir -p "$work/tree/usr/bin" "$work/tree/usr/lib" "$work/tree/usr/sbin" "$work/tree/tervane"
	for d in bin lib sbin; do ln -s "usr/$d" "$work/tree/$d"; done
	: >"$work/tree/tervane/audit"
	echo '??5?????? c /etc/sudoers' >"$work/tree/tervane/verify"
	printf 'bash\ndkms\n' | tee "$work/tree/tervane/manual" >"$work/tree/tervane/manual-want"
	(cd "$work/tree" && eval "$1")
	rm -f "$work/disk.img"
	mke2fs -q -t ext4 -d "$work/tree" "$work/disk.img" 8M >/dev/null && distro_judge "$work/disk.img" "$work/judge"
}
expect "a system as the board leaves it is kept" 0 '!.' judged :
expect "one that is not merged /usr is refused" 0 '^/sbin is not a link' judged 'rm sbin && mkdir sbin'
expect "one with a half-installed package is refused" 0 '^dpkg --audit:;^ dkms' \
	judged 'echo " dkms  Package is only unpacked" >tervane/audit'
expect "one whose packaged files changed is refused, conffiles aside" 0 '^dpkg --verify;^\?\?5\?+ +/usr/bin/gcc;!sudoers' \
	judged 'echo "??5??????   /usr/bin/gcc" >>tervane/verify'
expect "one where a dependency is marked manual is refused" 0 '^apt-mark showmanual:;^manual, should be auto: gcc' \
	judged 'echo gcc >>tervane/manual'
expect "one whose checks did not run is refused" 0 'no /tervane/verify' judged 'rm tervane/verify'
test_done
