#!/usr/bin/env bash
# The cache's entry routine, keys and trim, on a stand-in maker in a cache
# of its own (the shared one is never touched).
#
# usage: cache_test.sh SOURCE_DIR
set -uo pipefail
[[ $# -eq 1 ]] || { echo "usage: cache_test.sh SOURCE_DIR" >&2; exit 2; }
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
src=$(cd "$1" && pwd)
TERVANE_CACHE=$(mktemp -d)
export TERVANE_CACHE
trap 'rm -rf "$TERVANE_CACHE"' EXIT
# shellcheck source=../../tools/cache.sh
. "$src/tools/cache.sh"
c=$TERVANE_CACHE

# The stand-in counts its runs; "fail" makes it fail half-way.
# shellcheck disable=SC2317 # called by cache_entry
maker() {
	echo run >>"$c/runs"
	sleep "${nap:-0}"
	echo made >"$1/file"
	[[ ${how:-} != fail ]]
}
entry=$(cache_dir stand-in)/one
(cache_entry "$entry" maker)
(cache_entry "$entry" maker)
same "made once, then found" "$(wc -l <"$c/runs") $(cat "$entry/file")" "1 made"
{ (nap=1 cache_entry "$entry-2" maker) & (nap=1 cache_entry "$entry-2" maker); } 2>/dev/null
wait
same "two runs at once make it once" "$(wc -l <"$c/runs")" 2
rc=0
(how=fail cache_entry "$entry-3" maker) || rc=$?
same "a failed maker: its status, no entry" "$rc $([[ -e $entry-3 ]] && echo entry || echo none)" "1 none"
(how=fail cache_entry --refresh "$entry" maker) || true
same "a failed refresh keeps the entry" "$(cat "$entry/file")" made

# Keys: comments and blank lines are not what an entry is made from;
# Kconfig's "is not set" lines are.
k() { echo -e "$1" >"$c/f" && cache_key "$c/f"; }
base=$(k 'set -e\n# CONFIG_A is not set\nx=1 # one\n')
same "a comment mended: same key" "$(k '#!/bin/sh\nset -e\n\n  # why\n# CONFIG_A is not set\nx=1 # one\n')" "$base"
[[ $(k 'set -e\nx=1 # one\n') != "$base" ]] && ok "a Kconfig setting changes the key" || fail "a Kconfig setting changes the key"
[[ $(k 'set -e\n# CONFIG_A is not set\nx=2 # one\n') != "$base" ]] && ok "code changes the key" || fail "code changes the key"

# Trim: every kind, by last use; what a run holds is kept.
old() { touch -d '10 days ago' "$@"; }
mkdir -p "$c/debs" "$c/boot-images/k-old" "$c/boot-images/k-held" "$c/boards/b-new" "$c/boards/b-gone.tmp"
touch "$c/debs/old.deb" "$c/debs/new.deb" "$c/boards/b-new.used" "$c/boot-images/k-old.used" "$c/boot-images/k-held.used"
old "$c/debs/old.deb" "$c/boot-images/k-old.used" "$c/boot-images/k-held.used" "$c/boards/b-new"
(exec 9>"$c/boot-images/k-held.lock" && flock -s 9 && exec sleep 30) >/dev/null 2>&1 &
held=$!
sleep 0.3
"$src/tools/cache" trim 5 >/dev/null
kill "$held"
wait "$held"
left=$(cd "$c" && find debs boot-images boards stand-in -mindepth 1 -maxdepth 1 ! -name '*.lock' ! -name '*.used' | LC_ALL=C sort | xargs)
same "trim: the old download, image and unfinished entry go" "$left" \
	"boards/b-new boot-images/k-held debs/new.deb stand-in/one stand-in/one-2"
test_done
