#!/usr/bin/env bash
# Depends of a package of foreign binaries is not made by dpkg-shlibdeps,
# so check it against what its ELF files need: libraries of libc6 only
# (libc.so.6, and the loader, which holds the stack guard on armhf before
# glibc 2.34), and "libc6 (>= V)" with V the highest GLIBC_ version they
# reference.
#
# usage: check_libc6.sh DEB ROOT   (ROOT: the package unpacked by dpkg-deb -x)
set -uo pipefail
deb=$1 root=$2
fails=0
fail() { echo "FAIL $*"; fails=$((fails + 1)); }

elves=()
while IFS= read -r -d '' f; do
	[[ $(head -c 4 "$f" | od -An -c | tr -d ' ') == 177ELF ]] && elves+=("$f")
done < <(find "$root" -type f -print0)
[[ ${#elves[@]} -gt 0 ]] || { echo "FAIL no ELF file in $root"; exit 1; }

versions=()
for f in "${elves[@]}"; do
	name=${f#"$root"/}
	needed=$(readelf -d "$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
	[[ $needed =~ ^(libc\.so\.6\ |ld-linux-armhf\.so\.3\ )+$ ]] && echo "ok   $name needs libc6 only: $needed" ||
		fail "$name needs '$needed'; Depends names only libc6"
	mapfile -t v < <(readelf -V "$f" | sed -n 's/.*Name: GLIBC_\([0-9][0-9.]*\) .*/\1/p')
	versions+=("${v[@]}")
done
[[ ${#versions[@]} -gt 0 ]] || { echo "FAIL no GLIBC_ version references found"; exit 1; }
highest=$(printf '%s\n' "${versions[@]}" | sort -uV | tail -n 1)

want="libc6 (>= $highest)"
got=$(dpkg-deb -f "$deb" Depends)
[[ $got == "$want" ]] && echo "ok   Depends: $got (highest GLIBC_$highest)" ||
	fail "Depends: '$got', but the binaries need GLIBC_$highest: want '$want' (packaging/CMakeLists.txt writes it)"
exit $((fails > 0))
