#!/usr/bin/env bash
# private_apt_suite: the sources it writes for a suite, from the machine's
# sources in either format, and private_apt_update's tolerance of missing
# security indexes (and nothing else). No network: apt is never run here
# except through a stand-in.
set -euo pipefail
. "$(dirname "$0")/../../tools/private-apt.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
check() {
	if [[ $2 == "$3" ]]; then echo "ok   $1"; else
		echo "FAIL $1"; diff <(echo "$3") <(echo "$2") || true; fails=$((fails + 1)); fi
}

cat >"$tmp/deb822.sources" <<'E'
Types: deb
# a comment
URIs: http://archive.example/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb
URIs: http://archive.example/debian-security
Suites: bookworm-security
Components: main
E
printf 'deb [arch=amd64] http://archive.example/debian bookworm main\ndeb http://archive.example/debian-security bookworm-security main\n' >"$tmp/one.list"
printf 'deb http://archive.example/debian bookworm main\n' >"$tmp/nosec.list"

# name, machine sources, suite, the Suites lines written
while read -r name src suite want; do
	TERVANE_APT_SOURCES=$tmp/$src private_apt_suite "$tmp/$name" "$suite" armhf
	got=$(sed -n 's/^URIs: //p; s/^Suites: //p' "$tmp/$name/sources/debian.sources" | paste -sd'|')
	check "$name: sources for $suite" "$got" "${want//_/ }"
done <<'E'
deb822-trixie  deb822.sources trixie   http://archive.example/debian|trixie_trixie-updates|http://archive.example/debian-security|trixie-security
deb822-sid     deb822.sources sid      http://archive.example/debian|sid
one-line       one.list       bullseye http://archive.example/debian|bullseye_bullseye-updates|http://archive.example/debian-security|bullseye-security
no-security    nosec.list     trixie   http://archive.example/debian|trixie_trixie-updates
E
check "the archive address is kept for build roots" "$(cat "$tmp/one-line/archive")" http://archive.example/debian

# private_apt_update with apt-get stood in for: it says LOG while the
# security suite is in the sources, and succeeds without it. Name, exit
# status, whether the security suite is left, apt's log.
mkdir -p "$tmp/u/sources"
apt-get() {
	grep -q security "$tmp/u/sources/debian.sources" || return 0
	printf '%b\n' "$apt_log"
	return 100
}
while IFS='|' read -r name want left apt_log; do
	printf 'Types: deb\nURIs: http://a/debian\n\nTypes: deb\nURIs: http://a/debian-security\n' >"$tmp/u/sources/debian.sources"
	rc=0
	private_apt_update "$tmp/u" 2>/dev/null || rc=$?
	check "update: $name" "$rc" "$want"
	check "update: $name: security suite left" "$(grep -c security "$tmp/u/sources/debian.sources")" "$left"
done <<'E'
armhf security index missing|0|0|E: Failed to fetch http://a/debian-security/dists/bullseye-security/main/binary-armhf/Packages  404  Not Found\nE: Some index files failed to download. They have been ignored, or old ones used instead.
security index mid-sync|0|0|E: Failed to fetch http://a/debian-security/dists/bookworm-security/main/binary-armhf/Packages.xz  File has unexpected size (359552 != 360800). Mirror sync in progress?\nE: Some index files failed to download. They have been ignored, or old ones used instead.
main index missing|1|1|E: Failed to fetch http://a/debian/dists/bullseye/main/binary-armhf/Packages  404  Not Found\nE: Some index files failed to download. They have been ignored, or old ones used instead.
no error line at all|1|1|Segmentation fault
E
exit $((fails > 0))
