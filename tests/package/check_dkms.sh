#!/usr/bin/env bash
# Checks lurva-dkms as DKMS and dpkg will use it: the shipped sources are
# the module's, dkms.conf read the way dkms reads it names that module and
# this version, and the maintainer scripts call dkms as Debian's DKMS
# packages do: dh_dkms wrote them (run here against recording stand-ins).
#
# usage: check_dkms.sh DEB ROOT MODULE_SRC_DIR
#   ROOT: the package unpacked by dpkg-deb -x; MODULE_SRC_DIR: the module's
#   files as the build stages them
set -uo pipefail
deb=$1 root=$2 modsrc=$3
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

version=$(dpkg-deb -f "$deb" Version)
src=$root/usr/src/lurva-$version
[[ -d $src ]] || { echo "FAIL no $src: sources must sit in /usr/src/<name>-<version>"; exit 1; }

for f in "$modsrc"/*; do
	n=${f##*/}
	cmp -s "$src/$n" "$f" && ok "$n is the module's" || fail "$n differs from $f"
done

# dkms sources dkms.conf with these set.
conf=$(
	# shellcheck disable=SC2034 # dkms.conf's
	kernelver=9.9.9-test kernel_source_dir=/test/kdir
	# shellcheck disable=SC1091
	. "$src/dkms.conf" || exit 1
	printf '%s\n' "$PACKAGE_NAME" "$PACKAGE_VERSION" "${BUILT_MODULE_NAME[0]}" \
		"${DEST_MODULE_LOCATION[0]}" "$AUTOINSTALL" "${MAKE[0]-}${CLEAN-}"
) || { echo "FAIL dkms.conf does not source"; exit 1; }
mapfile -t c <<<"$conf"
same "PACKAGE_NAME" "${c[0]}" lurva
same "PACKAGE_VERSION is the package's" "${c[1]}" "$version"
# Kbuild decides the module's name; dkms looks for that file after make.
kbuild_name=$(sed -n 's/^obj-m[[:space:]]*[:+]\?=[[:space:]]*\([A-Za-z0-9_-]*\)\.o.*/\1/p' "$src/Kbuild")
same "BUILT_MODULE_NAME[0] is the module Kbuild builds" "${c[2]}" "$kbuild_name"
case ${c[3]} in
/updates/dkms | /extra) ok "DEST_MODULE_LOCATION[0] ${c[3]}" ;;
*) fail "DEST_MODULE_LOCATION[0] '${c[3]}', want /updates/dkms or /extra" ;;
esac
same "AUTOINSTALL" "${c[4]}" yes
# dkms's default, make -C $kernel_source_dir M=<its copy>, reads Kbuild (as
# above); CLEAN is deprecated and a MAKE line would only repeat that.
same "no MAKE[0] or CLEAN: dkms's own make through Kbuild" "${c[5]-}" ""

ctl=$(mktemp -d)
trap 'rm -rf "$ctl"' EXIT
dpkg-deb -e "$deb" "$ctl/DEBIAN"
for s in postinst prerm; do
	sh -n "$ctl/DEBIAN/$s" && ok "$s parses" || fail "$s has a syntax error"
done
dep=$(dpkg-deb -f "$deb" Depends)
re='^dkms( \(>= [^)]+\))?$'
[[ $dep =~ $re ]] && ok "Depends: $dep" || fail "Depends '$dep', want dkms alone"
# Stand-ins record their calls: dkms (printing what "dkms status" would),
# and dkms's common.postinst, which postinst reaches by its absolute path
# (a copy of postinst calls the stand-in there instead).
mkdir "$ctl/bin"
cat >"$ctl/bin/dkms" <<'SH'
#!/bin/sh
echo "$*" >>"$DKMS_CALLS"
[ "$1" = status ] && printf '%s' "$DKMS_STATUS"
exit 0
SH
printf '#!/bin/sh\necho "common.postinst $1 $2 $5" >>"$DKMS_CALLS"\n' >"$ctl/bin/common.postinst"
chmod +x "$ctl/bin/dkms" "$ctl/bin/common.postinst"
sed "s|/usr/lib/dkms/common.postinst|$ctl/bin/common.postinst|g" "$ctl/DEBIAN/postinst" >"$ctl/postinst"
: >"$ctl/calls"
DKMS_CALLS=$ctl/calls sh "$ctl/postinst" configure 0.9
rc=$?
same "postinst configure 0.9 hands lurva $version to common.postinst (exit $rc)" \
	"$(cat "$ctl/calls")" "common.postinst lurva $version 0.9"

# prerm: argument, what "dkms status" prints, dkms calls wanted (';'-joined)
installed="lurva/$version, 6.1.0-57-armmp, armv7l: installed"
status_call="status -m lurva -v $version"
remove_call="remove -m lurva -v $version --all"
while IFS='|' read -r arg status want; do
	: >"$ctl/calls"
	# shellcheck disable=SC2086 # arguments split at spaces
	PATH=$ctl/bin:$PATH DKMS_CALLS=$ctl/calls DKMS_STATUS=$status sh "$ctl/DEBIAN/prerm" $arg
	rc=$?
	got=$(paste -sd ';' "$ctl/calls")
	[[ $rc -eq 0 && $got == "$want" ]] && ok "prerm $arg${status:+ (registered)}: ${got:-no dkms call}" ||
		fail "prerm $arg${status:+ (registered)}: exit $rc, dkms calls '$got', want '$want'"
done <<EOF2
remove|$installed|$status_call;$remove_call
upgrade 1.0.1|$installed|$status_call;$remove_call
deconfigure in-favour x|$installed|$status_call;$remove_call
remove||$status_call
failed-upgrade 0.9|$installed|
EOF2
test_done
