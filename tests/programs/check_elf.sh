#!/usr/bin/env bash
# Checks that a cross-built program is what an armhf board can run: a 32-bit
# ARM hard-float EABI5 executable for Debian's loader, needing libc only and
# no symbol version newer than GLIBC_2.4 (so any armhf glibc runs it), and
# hardened (PIE, full RELRO, NX, fortified calls).
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
dynamic=$(readelf -d "$prog")
versions=$(readelf -V "$prog" | sed -n 's/.*Name: \(GLIBC_[0-9.]*\) .*/\1/p' | sort -uV | tr '\n' ' ')
newest=$(tr ' ' '\n' <<<"$versions" | sed -n 's/^GLIBC_//p' | sort -V | tail -n 1)
undefined=$(readelf -sW --dyn-syms "$prog" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }' | sort -u)
# printf and its kin always become __*_chk under _FORTIFY_SOURCE at -O2;
# a plain one means the fortified headers were not in effect.
plain_printf=$(grep -Ex '(f|s|sn|v|vf|vs|vsn)?printf' <<<"$undefined" | tr '\n' ' ')

check "ELF32" "$header" 'Class:[[:space:]]+ELF32'
check "ARM machine" "$header" 'Machine:[[:space:]]+ARM$'
check "EABI5 hard-float" "$header" 'Flags:.*Version5 EABI, hard-float ABI'
check "VFP register arguments" "$attrs" 'Tag_ABI_VFP_args: VFP registers'
check "VFPv3-D16" "$attrs" 'Tag_FP_arch: VFPv3-D16'
check "armhf interpreter" "$program_headers" 'interpreter: /lib/ld-linux-armhf\.so\.3\]'
check "NEEDED is libc.so.6 alone (got: $needed)" "$needed" '^libc\.so\.6 $'
check "glibc symbol versions no newer than 2.4 (got: $versions)" \
	"$([[ -n $newest ]] && printf '%s\n' "$newest" 2.4 | sort -V | tail -n 1)" '^2\.4$'
check "BIND_NOW" "$dynamic" '\(FLAGS\).*BIND_NOW'
check "fortified calls (__*_chk)" "$undefined" '^__[a-z]+_chk$'
check "no unfortified printf (got: ${plain_printf:-none})" "${plain_printf:-none}" '^none$'
check "PIE" "$security" 'PIE enabled'
check "full RELRO" "$security" '^Full RELRO'
check "NX" "$security" 'NX enabled'

exit $((fails > 0))
