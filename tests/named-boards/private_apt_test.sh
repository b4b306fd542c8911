#!/usr/bin/env bash
# private_apt_suite: the sources it writes for a suite, from the machine's
# sources in either format or TERVANE_DEBIAN_ARCHIVE, and private_apt_update
# dropping a security suite it cannot read (and nothing else). No network:
# apt is never run here except through a stand-in.
set -euo pipefail
unset TERVANE_DEBIAN_ARCHIVE
# shellcheck source=SCRIPTDIR/../../tools/private-apt.sh
. "$(dirname "$0")/../../tools/private-apt.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"

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
	same "$name: sources for $suite" "$got" "${want//_/ }"
done <<'E'
deb822-trixie  deb822.sources trixie   http://archive.example/debian|trixie_trixie-updates|http://archive.example/debian-security|trixie-security
deb822-sid     deb822.sources sid      http://archive.example/debian|sid
one-line       one.list       bullseye http://archive.example/debian|bullseye_bullseye-updates|http://archive.example/debian-security|bullseye-security
no-security    nosec.list     trixie   http://archive.example/debian|trixie_trixie-updates
E
same "the archive address is kept for build roots" "$(cat "$tmp/one-line/archive")" http://archive.example/debian
TERVANE_DEBIAN_ARCHIVE=http://mirror.example/debian TERVANE_APT_SOURCES=$tmp/one.list private_apt_suite "$tmp/set" trixie
same "TERVANE_DEBIAN_ARCHIVE names the archive" "$(sed -n 's/^URIs: //p' "$tmp/set/sources/debian.sources" | paste -sd' ')" \
	"http://mirror.example/debian http://archive.example/debian-security"

# private_apt_update with apt-get stood in for, failing with apt's log while
# the sources name the security suite: name, exit status, security suites
# left, lines on stderr
# shellcheck disable=SC2317 # private_apt_update calls it in apt-get's place
apt-get() { if grep -q -- -security "$tmp/u/sources/debian.sources"; then cat "$tmp/log"; return 100; fi; }
while IFS='|' read -r name want log; do
	TERVANE_APT_SOURCES=$tmp/one.list private_apt_suite "$tmp/u" bullseye armhf
	printf '%b\n' "$log" >"$tmp/log"
	rc=0
	private_apt_update "$tmp/u" 2>"$tmp/err" || rc=$?
	same "update: $name" "$rc $(grep -c "^Suites: .*-security" "$tmp/u/sources/debian.sources") $(wc -l <"$tmp/err")" "$want"
done <<'E'
armhf security index missing|0 0 1|E: Failed to fetch http://a/debian-security/dists/bullseye-security/main/binary-armhf/Packages  404  Not Found\nE: Some index files failed to download. They have been ignored, or old ones used instead.
security index out of step|0 0 1|E: Failed to fetch http://a/debian-security/dists/bullseye-security/main/binary-amd64/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress? [IP: 10.0.0.1 80]\n   Hashes of expected file:\nE: Some index files failed to download. They have been ignored, or old ones used instead.
main index missing|1 1 2|E: Failed to fetch http://a/debian/dists/bullseye/main/binary-armhf/Packages  404  Not Found\nE: Some index files failed to download. They have been ignored, or old ones used instead.
no error line at all|1 1 1|Segmentation fault
E
test_done
