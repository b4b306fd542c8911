#!/usr/bin/env bash
# The hardening of the programs' build, against one C library root: the
# probe references the stack protector and a fortified copy, a copy that
# fits runs, and one that overflows is stopped by libc with an abort.
#
# usage: check_hardening.sh PROBE ROOT   (ROOT: as for qemu-arm -L)
set -uo pipefail
probe=$1 root=$2
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

undefined=$(elf_undefined "$probe")
for sym in __stack_chk_fail __memcpy_chk; do
	grep -qx "$sym" <<<"$undefined" && ok "references $sym" || fail "no reference to $sym"
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
