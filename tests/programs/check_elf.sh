#!/usr/bin/env bash
# Checks that a cross-built program is what an armhf board can run: a 32-bit
# ARM hard-float EABI5 executable for Debian's loader, needing libc only, and
# hardened (PIE, full RELRO, NX).
set -u
prog=$1
fails=0

check() { # description, command output, extended regex that must match
	if grep -Eq -- "$3" <<<"$2"; then
		echo "ok   $1"
	else
		echo "FAIL $1"
		fails=$((fails + 1))
	fi
}

header=$(readelf -h "$prog")
attrs=$(readelf -A "$prog")
program_headers=$(readelf -l "$prog")
needed=$(readelf -d "$prog" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
security=$(checksec --file="$prog" --output=csv)

check "ELF32" "$header" 'Class:[[:space:]]+ELF32'
check "ARM machine" "$header" 'Machine:[[:space:]]+ARM$'
check "EABI5 hard-float" "$header" 'Flags:.*Version5 EABI, hard-float ABI'
check "VFP register arguments" "$attrs" 'Tag_ABI_VFP_args: VFP registers'
check "VFPv3-D16" "$attrs" 'Tag_FP_arch: VFPv3-D16'
check "armhf interpreter" "$program_headers" 'interpreter: /lib/ld-linux-armhf\.so\.3\]'
check "NEEDED is libc.so.6 alone (got: $needed)" "$needed" '^libc\.so\.6 $'
check "PIE" "$security" 'PIE enabled'
check "full RELRO" "$security" '^Full RELRO'
check "NX" "$security" 'NX enabled'

exit $((fails > 0))
