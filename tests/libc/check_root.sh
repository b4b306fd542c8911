#!/usr/bin/env bash
# What tools/suite-libc promises of a root, which the emulator and the
# boards rely on: the loader and libc at /lib by those names, every link
# resolving inside the root (none to this machine's own files), and the
# C library in it being the version the root says it holds. Then the
# hardening of the programs' build on that libc: the probe references the
# stack protector and a fortified copy, a copy that fits runs, and one that
# overflows is stopped by libc with an abort.
#
# usage: check_root.sh ROOT PROBE
set -uo pipefail
root=$(cd "$1" && pwd) || exit 1
probe=$2
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

for f in lib/ld-linux-armhf.so.3 lib/libc.so.6; do
	real=$(realpath -e "$root/$f" 2>/dev/null)
	[[ -n $real && $real == "$root"/* && -f $real ]] && ok "$f -> ${real#"$root"/}" ||
		fail "$f does not resolve to a file inside the root (${real:-dangling})"
done

outside=$(find "$root" -type l -lname '/*' | head -n 5)
same "no absolute links" "$outside" ""
dangling=$(find -L "$root" -type l | head -n 5)
same "no dangling links" "$dangling" ""

# libc.so.6 run as a program prints its own release.
want=$(sed -n '2s/^libc6 \([^ ]*\).*/\1/p' "$root/.suite-libc" 2>/dev/null)
got=$(qemu-arm -L "$root" "$root/lib/libc.so.6" 2>&1 | sed -n '1s/.*(Debian GLIBC \([^)]*\)).*/\1/p')
[[ -n $want && $got == "$want" ]] && ok "libc runs and is $got" ||
	fail "libc reports '${got}', the root records '${want}'"

undefined=$(elf_undefined "$probe")
for sym in __stack_chk_fail __memcpy_chk; do
	grep -qx "$sym" <<<"$undefined" && ok "the probe references $sym" || fail "no reference to $sym"
done
out=$(qemu-arm -L "$root" "$probe" seven 2>&1)
same "a copy that fits runs" "$? $out" "0 copied seven"
out=$(qemu-arm -L "$root" "$probe" 'far more than eight bytes' 2>&1)
rc=$?
# qemu-arm dies of the guest's SIGABRT itself: 128 + 6.
[[ $rc -eq 134 && $out == *'buffer overflow detected'* && $out != *copied* ]] &&
	ok "an overflowing copy is stopped" ||
	fail "an overflowing copy: status $rc, output '$out'"
test_done
