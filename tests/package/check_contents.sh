#!/usr/bin/env bash
# Checks a .deb against a table of what it must hold: control fields, and
# the exact list of control members and files with their modes and owners.
#
# usage: check_contents.sh DEB TABLE VERSION
# TABLE lines, @VERSION@ standing for VERSION, '#' starting a comment:
#   field NAME VALUE...       dpkg-deb -f DEB NAME is exactly VALUE
#   control MODE OWNER NAME   a member of the control archive
#   file MODE OWNER PATH      an entry of the data archive (dirs end in /)
set -uo pipefail
deb=$1 table=$2 version=$3
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

want_members=() want_files=()
while read -r kind a b c; do
	case $kind in
	'' | '#'*) continue ;;
	field) same "$a: $b${c:+ $c}" "$(dpkg-deb -f "$deb" "$a")" "$b${c:+ $c}" ;;
	control) want_members+=("$a $b ./$c") ;;
	file) want_files+=("$a $b ./$c") ;;
	*) fail "table line of unknown kind '$kind'" ;;
	esac
done < <(sed "s/@VERSION@/$version/g" "$table")

# mode, owner and name of each tar entry, sorted
listing() { awk '{ print $1, $2, $NF }' | LC_ALL=C sort; }
compare() { # what, wanted lines, actual lines
	local missing extra
	missing=$(LC_ALL=C comm -23 <(printf '%s\n' "$2" | LC_ALL=C sort) <(printf '%s\n' "$3"))
	extra=$(LC_ALL=C comm -13 <(printf '%s\n' "$2" | LC_ALL=C sort) <(printf '%s\n' "$3"))
	if [[ -z $missing && -z $extra ]]; then
		ok "$1: $(printf '%s\n' "$3" | wc -l) entries as listed"
	else
		fail "$1 differ from the table"
		[[ -z $missing ]] || { echo "  in the table, not in the package:"; sed 's/^/    /' <<<"$missing"; }
		[[ -z $extra ]] || { echo "  in the package, not in the table:"; sed 's/^/    /' <<<"$extra"; }
	fi
}
compare "control members" "$(printf '%s\n' "${want_members[@]}")" \
	"$(dpkg-deb --ctrl-tarfile "$deb" | tar -tvf - | listing | grep -v ' \./$')"
compare "files" "$(printf '%s\n' "${want_files[@]}")" \
	"$(dpkg-deb -c "$deb" | listing)"
test_done
