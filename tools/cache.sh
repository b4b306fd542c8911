# shellcheck shell=bash
# Sourced. The one cache of downloads and of what is made from them
# (kernels, build roots, the debug kernel, Debian images, boot images),
# outside any build tree and shared by every checkout. Each kind has a
# folder; each entry in it is a folder named by a key of everything it is
# made from, made by cache_entry under a temporary name and renamed into
# place under the entry's lock, and never changed once there. Whoever uses
# an entry holds its lock shared, so tools/cache trim leaves it alone.

# cache_root: the cache's folder, made if missing.
cache_root() {
	local r=${TERVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tervane}
	mkdir -p "$r" || { echo "cache: cannot make $r (set TERVANE_CACHE)" >&2; return 1; }
	(cd "$r" && pwd)
}

# cache_dir KIND: the folder of one kind of entry, made if missing.
cache_dir() {
	local r
	r=$(cache_root) || return 1
	mkdir -p "$r/$1"
	echo "$r/$1"
}

# cache_key [FILE...]: a short key of the files' names and contents, then
# of standard input (values: a board's row, a suite), when no FILE is
# given or FILE is -. Comment-only lines and blank lines are left out, so
# mending a comment rebuilds nothing; Kconfig's "# CONFIG_X is not set"
# is a setting, not a comment, and stays.
cache_key() {
	local f
	[[ $# -gt 0 ]] || set -- -
	for f in "$@"; do
		[[ $f == - ]] || echo "== ${f##*/}"
		awk '/^[ \t]*$/ { next }
			/^[ \t]*#/ && !/^# CONFIG_[A-Za-z0-9_]+ is not set$/ { next }
			{ print }' "$f"
	done | sha256sum | cut -c1-16
}

# cache_entry [--refresh] ENTRY MAKER [ARG...]: makes ENTRY, a folder in
# the cache, unless it is there already (--refresh: even so, replacing
# it), and holds it shared until the caller exits. MAKER ARG... TMP runs
# in a subshell, with -e, and fills the folder TMP; the entry's own path
# (ENTRY) is where its files will be, for paths written inside. Fails
# with MAKER's status; its TMP is kept for its logs (trim removes it).
# Called as a condition (if, ||), bash runs MAKER without -e: such a MAKER
# checks each step itself.
cache_entry() {
	local refresh=0 entry tmp fd rc e=${-//[^e]/}
	[[ $1 != --refresh ]] || { refresh=1; shift; }
	entry=$1 tmp=$1.tmp
	shift
	exec {fd}>"$entry.lock"
	# Done? Held shared, then looked at again: trim may have just taken it.
	if [[ $refresh -eq 0 && -d $entry ]]; then
		flock -s "$fd"
		[[ ! -d $entry ]] || { cache_used "$entry"; return 0; }
	fi
	if ! flock -n -x "$fd"; then
		echo "cache: waiting for another run making or using ${entry##*/}" >&2
		flock -x "$fd"
	fi
	# Another run may have made it meanwhile.
	if [[ $refresh -eq 0 && -d $entry ]]; then
		flock -s "$fd"
		cache_used "$entry"
		return 0
	fi
	# Never follow a mount that a killed maker may have left inside.
	rm -rf --one-file-system "$tmp"
	mkdir -p "$tmp"
	set +e
	(set -e; "$@" "$tmp")
	rc=$?
	[[ -z $e ]] || set -e
	[[ $rc -eq 0 ]] || return "$rc"
	if [[ -z $(ls -A "$tmp") ]]; then
		echo "cache: $* left nothing in ${tmp##*/}" >&2
		return 1
	fi
	if [[ -d $entry ]]; then
		rm -rf --one-file-system "$entry.old"
		mv "$entry" "$entry.old"
	fi
	mv "$tmp" "$entry"
	rm -rf --one-file-system "$entry.old"
	flock -s "$fd"
	cache_used "$entry"
}

# cache_hold ENTRY: holds ENTRY shared until the caller exits, so that
# trim leaves it alone; fails when it is not (or no longer) there. A
# folder outside the cache (a test's stand-in) is only looked at.
cache_hold() {
	local fd e
	e=$(readlink -f "$1") || return 1
	if [[ $e == "$(cache_root)"/*/* ]]; then
		exec {fd}>"$e.lock"
		flock -s "$fd"
		cache_used "$e"
	fi
	[[ -d $e ]]
}

# cache_used ENTRY: marks ENTRY as used now, for tools/cache trim.
cache_used() { touch "$1.used" 2>/dev/null || true; }
