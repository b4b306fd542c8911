# shellcheck shell=bash
# Sourced. private_apt_init DIR [ARCH...] fills the array apt_opts with the
# options that make apt-get and apt-cache keep all their state under DIR,
# reading the sources in DIR/sources (the caller writes them, or
# private_apt_suite does): the machine's apt and dpkg state is never
# touched, and it works for an ordinary user too. ARCHs add architectures.
private_apt_init() {
	local dir=$1 arch
	shift
	mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/sources"
	# apt takes relative paths from its own folders, not from here.
	dir=$(cd "$dir" && pwd)
	rm -f "$dir/sources/"*
	: >"$dir/status"
	apt_opts=()
	for arch in "$@"; do apt_opts+=(-o APT::Architectures::="$arch"); done
	apt_opts+=(
		-o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache"
		# Kept even where the machine's apt turns it off (container images
		# do): without it every apt-cache call parses all the lists.
		-o Dir::Cache::pkgcache="$dir/cache/pkgcache.bin" -o Dir::Cache::srcpkgcache=
		-o Dir::State::status="$dir/status"
		-o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$dir/sources"
		-o Debug::NoLocking=1 -o Acquire::Languages=none
		# As root apt would hand downloads to _apt, which can't write here.
		-o APT::Sandbox::User="$(id -un)"
	)
}

# private_apt_machine_sources: the machine's Debian sources file (or the one
# named in TERVANE_APT_SOURCES); only ever read. None on a machine that is
# not Debian: its sources name another distribution's archive.
private_apt_machine_sources() {
	local f id
	if [[ -z ${TERVANE_APT_SOURCES:-} ]]; then
		id=$(. /etc/os-release 2>/dev/null && echo "${ID:-}") || true
		[[ $id == debian ]] || return 1
	fi
	for f in ${TERVANE_APT_SOURCES:-} /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
		[[ -s $f ]] && { echo "$f"; return 0; }
	done
	return 1
}

# private_apt_archive [security]: the Debian archive's address:
# TERVANE_DEBIAN_ARCHIVE, else the one in the machine's Debian sources. With
# "security", the security archive's in those sources ('' if none).
private_apt_archive() {
	local src uris
	if [[ ${1:-} != security && -n ${TERVANE_DEBIAN_ARCHIVE:-} ]]; then
		echo "$TERVANE_DEBIAN_ARCHIVE"
		return 0
	fi
	src=$(private_apt_machine_sources) || src=/dev/null
	# deb822 "URIs:" lines or one-line "deb URI suite ..." entries.
	uris=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p; s/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\).*/\2/p' "$src")
	if [[ ${1:-} == security ]]; then
		grep -- '-security' <<<"$uris" | head -n 1 || true
	elif ! grep -v -- '-security' <<<"$uris" | grep -m 1 .; then
		echo "no Debian archive in the machine's apt sources: set TERVANE_DEBIAN_ARCHIVE to a Debian mirror's address" >&2
		return 1
	fi
}

# private_apt_suite DIR SUITE [ARCH...]: as private_apt_init, but for any
# Debian suite: the archive and security addresses are read from the
# machine's sources, the suites are SUITE, SUITE-updates and
# SUITE-security (sid has neither of the last two).
private_apt_suite() {
	local dir=$1 suite=$2 archive security
	shift 2
	archive=$(private_apt_archive) || return 1
	security=$(private_apt_archive security)
	private_apt_init "$dir" "$@" || return 1
	rm -f "$dir/sources/"*
	local suites=$suite
	[[ $suite == sid || $suite == unstable ]] || suites+=" $suite-updates"
	printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
		"$archive" "$suites" >"$dir/sources/debian.sources"
	if [[ -n $security && $suites == *-updates ]]; then
		printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
			"$security" "$suite" >>"$dir/sources/debian.sources"
	fi
	# Kept for build roots, which take the archive alone.
	echo "$archive" >"$dir/archive"
}

# private_apt_update DIR: refresh the lists. A security suite whose index
# cannot be read (not served for an architecture, as bullseye's LTS dropped
# armhf; or out of step with its Release file while the mirror syncs) is
# dropped, with a note, and the main suite read alone: its point releases
# carry the same packages. Anything else fails with apt's own error lines.
private_apt_update() {
	local dir=$1 log=$1/update.log errs sec
	apt-get -q "${apt_opts[@]}" update >"$log" 2>&1 && return 0
	errs=$(grep '^E:' "$log" | grep -v 'Some index files failed to download') || true
	sec=$(grep -o -m 1 'dists/[^ /]*-security' <<<"$errs") || true
	sec=${sec#dists/}
	if [[ -n $sec ]] && ! grep -qv -- '-security' <<<"$errs" &&
		grep -q "^Suites: $sec$" "$dir/sources/debian.sources" 2>/dev/null; then
		mv "$log" "$dir/update-security.log"
		echo "note: $sec cannot be read ($(grep -o -m 1 -E '404 +Not Found|Mirror sync in progress|Hash Sum mismatch|Could not [a-z]+' "$dir/update-security.log" || echo "see $dir/update-security.log")); using ${sec%-security} alone" >&2
		awk 'BEGIN { RS = ""; ORS = "\n\n" } !/\nSuites: [^\n]*-security/' "$dir/sources/debian.sources" >"$dir/sources/debian.sources.new"
		mv "$dir/sources/debian.sources.new" "$dir/sources/debian.sources"
		apt-get -q "${apt_opts[@]}" update >"$log" 2>&1 && return 0
	fi
	grep '^E:' "$log" >&2 || tail -n 5 "$log" >&2
	return 1
}

# private_apt_field PKG FIELD: the candidate's field ('' if none).
private_apt_field() {
	apt-cache "${apt_opts[@]}" show --no-all-versions "$1" 2>/dev/null |
		sed -n "s/^$2: //p" | sed -n 1p
}

# private_apt_download DEST SUITE PKG=VER...: makes sure DEST holds each
# package's .deb (as NAME_VERSION_ARCH.deb), downloading what it lacks. apt
# checks each download against the archive's signed checksums; a file
# already there is checked against them again. Each download is named with
# its size first; a package the archive no longer serves ends it with one
# line naming suite and package.
private_apt_download() {
	local dest=$1 suite=$2 p info size sum f total=0 todo=()
	shift 2
	mkdir -p "$dest"
	for p in "$@"; do
		info=$(apt-cache "${apt_opts[@]}" show "${p%%=*}" 2>/dev/null |
			awk -v v="${p#*=}" '/^Version: /{ok = ($2 == v)} ok && /^(Size|SHA256): / {print $2}' | head -n 2)
		size=$(sed -n 1p <<<"$info") sum=$(sed -n 2p <<<"$info")
		[[ -n $size && -n $sum ]] || { echo "$suite no longer serves ${p%%=*} version ${p#*=}" >&2; return 1; }
		f=$(compgen -G "$dest/$(private_apt_deb_name "$p")" | head -n 1) || true
		if [[ -n $f ]] && sha256sum "$f" | grep -q "^$sum "; then
			# A download's time is its last use: tools/cache trim keeps it.
			touch "$f" 2>/dev/null || true
			continue
		fi
		todo+=("$p")
		total=$((total + size))
		awk -v p="$p" -v s="$size" 'BEGIN { printf "  %-52s %6.1f MB\n", p, s / 1e6 }' >&2
	done
	[[ ${#todo[@]} -gt 0 ]] || return 0
	echo "  total $((total / 1000000)) MB" >&2
	# Downloaded apart, then moved in: the folder is shared by every run.
	local new
	new=$(mktemp -d "$dest/.new.XXXXXX")
	if ! (cd "$new" && apt-get -q "${apt_opts[@]}" download "${todo[@]}" >download.log 2>&1); then
		grep '^E:' "$new/download.log" >&2
		rm -rf "$new"
		echo "$suite: download failed" >&2
		return 1
	fi
	mv "$new"/*.deb "$dest/"
	rm -rf "$new"
}

# private_apt_deb_name PKG[:ARCH]=VER: the .deb's file name as a glob.
private_apt_deb_name() {
	local p=$1 name ver
	name=${p%%[:=]*} ver=${p#*=}
	echo "${name}_${ver//:/%3a}_*.deb"
}
