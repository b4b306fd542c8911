# shellcheck shell=bash
# Sourced. The one cache of downloads and of what is made from them
# (kernels, build roots, the debug kernel, Debian images), outside any build
# tree and shared by every checkout. Each kind has a folder; each entry in
# it is named by a key of everything it is made from, is made under a
# temporary name and renamed into place under the entry's lock, and is
# never changed once there.

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

# cache_key: a short key for what is read on standard input (the inputs'
# names and contents).
cache_key() { sha256sum | cut -c1-16; }

# cache_lock ENTRY: waits for ENTRY's lock and holds it until the caller
# exits. Makers take it; so does trimming, which never takes an entry that
# a maker holds.
cache_lock() {
	local fd
	exec {fd}>"$1.lock"
	if ! flock -n "$fd"; then
		echo "cache: waiting for another run making ${1##*/}" >&2
		flock "$fd"
	fi
}

# cache_used ENTRY: marks ENTRY as used now, for tools/cache trim.
cache_used() { touch "$1.used" 2>/dev/null || true; }
