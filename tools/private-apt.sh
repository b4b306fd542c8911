# shellcheck shell=bash
# Sourced. private_apt_init DIR [ARCH...] fills the array apt_opts with the
# options that make apt-get and apt-cache keep all their state under DIR:
# the machine's Debian sources are read, its apt and dpkg state never
# touched, and it works for an ordinary user too. ARCHs add architectures.
private_apt_init() {
	local dir=$1 src=${TERVANE_APT_SOURCES:-} f arch
	shift
	if [[ -z $src ]]; then
		for f in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
			[[ -s $f ]] && { src=$f; break; }
		done
	fi
	[[ -n $src ]] || { echo "no Debian apt sources found (set TERVANE_APT_SOURCES)" >&2; return 1; }
	mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/sources"
	rm -f "$dir/sources/"*
	case $src in
	*.sources) cp "$src" "$dir/sources/debian.sources" ;;
	*) cp "$src" "$dir/sources/debian.list" ;;
	esac
	: >"$dir/status"
	apt_opts=()
	for arch in "$@"; do apt_opts+=(-o APT::Architectures::="$arch"); done
	apt_opts+=(
		-o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache"
		-o Dir::State::status="$dir/status"
		-o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$dir/sources"
		-o Debug::NoLocking=1 -o Acquire::Languages=none
		# As root apt would hand downloads to _apt, which can't write here.
		-o APT::Sandbox::User="$(id -un)"
	)
}
