#!/usr/bin/env bash
# Checks a .deb against a table of what it must hold: control fields, and
# the exact list of control members and files with their modes and owners.
# A difference is shown as a diff, the table's lines against the package's.
#
# usage: check_contents.sh DEB TABLE VERSION
# TABLE lines, @VERSION@ standing for VERSION, '#' starting a comment:
#   field NAME VALUE...       dpkg-deb -f DEB NAME is exactly VALUE
#   control MODE OWNER NAME   a member of the control archive
#   file MODE OWNER PATH      an entry of the data archive (dirs end in /)
set -euo pipefail
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
deb=$1 table=$2 version=$3
want=$(sed "s/@VERSION@/$version/g; /^#/d; /^$/d" "$table" | LC_ALL=C sort)
# KIND, then mode, owner and name of each tar entry but the archive's root
listing() { awk -v k="$1" '$NF != "./" { sub(/^\.\//, "", $NF); print k, $1, $2, $NF }'; }
got=$({
	grep '^field ' <<<"$want" | while read -r _ f _; do echo "field $f $(dpkg-deb -f "$deb" "$f")"; done
	dpkg-deb --ctrl-tarfile "$deb" | tar -tvf - | listing control
	dpkg-deb -c "$deb" | listing file
} | LC_ALL=C sort)
if diff -u --label "$table" --label "$deb" <(echo "$want") <(echo "$got"); then
	ok "$(wc -l <<<"$got") fields and entries as the table lists them"
else
	fail "the package differs from the table (diff above)"
fi
test_done
