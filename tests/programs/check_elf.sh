#!/usr/bin/env bash
# Checks that cross-built programs are what an armhf board can run: 32-bit
# ARM hard-float EABI5 executables for Debian's loader, needing libc only,
# hardened (PIE, full RELRO, NX, fortified calls), and, built by the
# project, with no symbol version newer than GLIBC_2.4 (so any armhf glibc
# runs them).
#
# usage: check_elf.sh [--deb DEB] PROGRAM...
#   --deb: the programs are DEB's, built against its suite's C library, and
#   its Depends must be "libc6 (>= V)", V the highest GLIBC_ version they
#   reference. dh_shlibdeps wrote it from libc6:armhf's symbols file in the
#   cross-build root; this reads the binaries themselves (readelf), so the
#   two agree or one of them is wrong. (dpkg-shlibdeps run on the host with
#   DEB_HOST_ARCH=armhf and -l has no symbols file to read and would ask
#   for the build's own libc6 version, too strict.)
set -u
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
deb=
[[ ${1:-} == --deb ]] && { deb=$2; shift 2; }
[[ $# -gt 0 ]] || { echo "usage: check_elf.sh [--deb DEB] PROGRAM..." >&2; exit 2; }
check() { grep -Eq -- "$3" <<<"$2" && ok "$p: $1" || fail "$p: $1"; } # name, text, regex

all=
for prog; do
	p=${prog##*/}
	header=$(readelf -h "$prog")
	attrs=$(readelf -A "$prog")
	security=$(checksec --file="$prog" --output=csv)
	versions=$(elf_glibc "$prog")
	all+=$versions$'\n'
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
	same "$p: NEEDED is libc.so.6 alone" "$(elf_needed "$prog" | tr '\n' ' ')" 'libc.so.6 '
	[[ -n $deb ]] || same "$p: glibc symbol versions no newer than 2.4 (got: ${versions//$'\n'/ })" \
		"$(printf '%s\n' "${versions:-none}" 2.4 | sort -V | tail -n 1)" 2.4
	check "BIND_NOW" "$(readelf -d "$prog")" '\(FLAGS\).*BIND_NOW'
	check "fortified calls (__*_chk)" "$undefined" '^__[a-z]+_chk$'
	same "$p: no unfortified printf" "${plain_printf:-none}" none
	check "PIE" "$security" 'PIE enabled'
	check "full RELRO" "$security" '^Full RELRO'
	check "NX" "$security" 'NX enabled'
done
if [[ -n $deb ]]; then
	highest=$(sort -V <<<"$all" | tail -n 1)
	same "Depends, for the highest GLIBC_$highest" "$(dpkg-deb -f "$deb" Depends)" "libc6 (>= $highest)"
fi
test_done
