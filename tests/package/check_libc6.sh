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
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

elves=()
while IFS= read -r -d '' f; do
	[[ $(head -c 4 "$f" | od -An -c | tr -d ' ') == 177ELF ]] && elves+=("$f")
done < <(find "$root" -type f -print0)
[[ ${#elves[@]} -gt 0 ]] || { echo "FAIL no ELF file in $root"; exit 1; }

versions=()
for f in "${elves[@]}"; do
	name=${f#"$root"/}
	needed=$(elf_needed "$f" | tr '\n' ' ')
	[[ $needed =~ ^(libc\.so\.6\ |ld-linux-armhf\.so\.3\ )+$ ]] && ok "$name needs libc6 only: $needed" ||
		fail "$name needs '$needed'; Depends names only libc6"
	mapfile -t v < <(elf_glibc "$f")
	versions+=("${v[@]}")
done
[[ ${#versions[@]} -gt 0 ]] || { echo "FAIL no GLIBC_ version references found"; exit 1; }
highest=$(printf '%s\n' "${versions[@]}" | sort -uV | tail -n 1)

# packaging/CMakeLists.txt writes it.
same "Depends, for the highest GLIBC_$highest" "$(dpkg-deb -f "$deb" Depends)" "libc6 (>= $highest)"
test_done
