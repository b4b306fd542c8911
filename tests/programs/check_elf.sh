#!/usr/bin/env bash
# Checks that a cross-built program is what an armhf board can run: a 32-bit
# ARM hard-float EABI5 executable for Debian's loader, needing libc only and
# no symbol version newer than GLIBC_2.4 (so any armhf glibc runs it), and
# hardened (PIE, full RELRO, NX, fortified calls).
set -u
prog=$1
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
check() { grep -Eq -- "$3" <<<"$2" && ok "$1" || fail "$1"; } # name, text, regex

header=$(readelf -h "$prog")
attrs=$(readelf -A "$prog")
security=$(checksec --file="$prog" --output=csv)
needed=$(elf_needed "$prog" | tr '\n' ' ')
versions=$(elf_glibc "$prog")
undefined=$(elf_undefined "$prog")
# printf and its kin always become __*_chk under _FORTIFY_SOURCE at -O2;
# a plain one means the fortified headers were not in effect.
plain_printf=$(grep -Ex '(f|s|sn|v|vf|vs|vsn)?printf' <<<"$undefined" | tr '\n' ' ')

check "ELF32" "$header" 'Class:[[:space:]]+ELF32'
check "ARM machine" "$header" 'Machine:[[:space:]]+ARM$'
check "EABI5 hard-float" "$header" 'Flags:.*Version5 EABI, hard-float ABI'
check "VFP register arguments" "$attrs" 'Tag_ABI_VFP_args: VFP registers'
check "VFPv3-D16" "$attrs" 'Tag_FP_arch: VFPv3-D16'
check "armhf interpreter" "$(readelf -l "$prog")" 'interpreter: /lib/ld-linux-armhf\.so\.3\]'
same "NEEDED is libc.so.6 alone" "$needed" 'libc.so.6 '
same "glibc symbol versions no newer than 2.4 (got: ${versions//$'\n'/ })" \
	"$(printf '%s\n' "${versions:-none}" 2.4 | sort -V | tail -n 1)" 2.4
check "BIND_NOW" "$(readelf -d "$prog")" '\(FLAGS\).*BIND_NOW'
check "fortified calls (__*_chk)" "$undefined" '^__[a-z]+_chk$'
same "no unfortified printf" "${plain_printf:-none}" none
check "PIE" "$security" 'PIE enabled'
check "full RELRO" "$security" '^Full RELRO'
check "NX" "$security" 'NX enabled'
test_done
