#!/usr/bin/env bash
# The copies repack makes are what the board cases install: each must
# differ from the built package in exactly the intended way, or a board
# case could pass or fail for the wrong reason.
# usage: tests/distro/repack_test.sh LURVA_DKMS_DEB PROGRAMS_DEB WORK_DIR
set -euo pipefail
[[ $# -eq 3 ]] || { echo "usage: repack_test.sh LURVA_DKMS_DEB PROGRAMS_DEB WORK_DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
deb=$1 programs=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
v=$(dpkg-deb -f "$deb" Version)
# shellcheck source=../lib.sh
. "$here/../lib.sh"
# data/ctrl DEB FILE: a file of the package's data or control part;
# kept PATH DEB [PATH_THERE]: PATH of the built package is unchanged in DEB
# shellcheck disable=SC2317 # called from the cases' conditions below
{
data() { dpkg-deb --fsys-tarfile "$1" | tar -xOf - "./$2"; }
ctrl() { dpkg-deb --ctrl-tarfile "$1" | tar -xOf - "./$2"; }
kept() { cmp -s <(data "$deb" "$1") <(data "$2" "${3:-$1}"); }
}

# case | repack options | what must hold of the copy ($out, $n = new version)
n=9.8.7
cases=(
	"version|--version $n|[[ \$(dpkg-deb -f \$out Version) == $n ]] && data \$out usr/src/lurva-$n/dkms.conf | grep -qx 'PACKAGE_VERSION=\"$n\"' && ctrl \$out postinst | grep -qx 'DKMS_VERSION=$n' && ctrl \$out prerm | grep -qx 'DKMS_VERSION=$n' && ! ctrl \$out prerm | grep -q -- '$v' && kept usr/src/lurva-$v/lurva.c \$out usr/src/lurva-$n/lurva.c"
	"postinst-no-dkms|--break postinst-no-dkms|! ctrl \$out postinst | grep -q dkms && cmp -s <(ctrl $deb prerm) <(ctrl \$out prerm)"
	"wrong-module|--break wrong-module|data \$out usr/src/lurva-$v/dkms.conf | grep -qx 'BUILT_MODULE_NAME\\[0\\]=\"lurva_misnamed\"' && kept usr/src/lurva-$v/lurva.c \$out"
	"prerm-keeps|--break prerm-keeps|! ctrl \$out prerm | grep -q dkms && cmp -s <(ctrl $deb postinst) <(ctrl \$out postinst)"
	"source-error|--break source-error|! kept usr/src/lurva-$v/lurva.c \$out && kept usr/src/lurva-$v/dkms.conf \$out"
)
for c in "${cases[@]}"; do
	IFS='|' read -r name opts cond <<<"$c"
	# shellcheck disable=SC2086
	out=$("$here/repack" $opts "$deb" "$work/$name")
	check "$name: the copy differs as intended" eval "$cond"
	check "$name: dpkg accepts the copy's md5sums" bash -c "cd '$work/$name' && rm -rf x && dpkg-deb -R '$out' x && (cd x && md5sum -c --quiet DEBIAN/md5sums)"
done
out=$("$here/repack" --version "$n" "$programs" "$work/programs")
check "programs: only the version changes" bash -c "[ \"\$(dpkg-deb -f '$out' Version)\" = $n ] && cmp -s <(dpkg-deb -c '$programs' | awk '\$6 != \"./\" {print \$1, \$2, \$3, \$6}') <(dpkg-deb -c '$out' | awk '\$6 != \"./\" {print \$1, \$2, \$3, \$6}')"
same "the built package is unchanged" "$(dpkg-deb -f "$deb" Version)" "$v"
check "an unknown fault is refused" bash -c "! '$here/repack' --break nonsense '$deb' '$work/x' 2>/dev/null"
test_done
