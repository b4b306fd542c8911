# shellcheck shell=bash
# Sourced by ./run and ./debug for --on USER@HOST[:PORT]: a board of the
# user's own, reached with plain ssh, so that ~/.ssh/config, the agent and
# the user's keys apply. One connection is opened (a control master) and
# every command after it goes through it. Callers set remote_me (their name
# in messages) before sourcing; remote_open sets remote_tmp, a folder on
# the board that remote_close removes.
: "${remote_me:=tervane}"

remote_local='' remote_tmp='' remote_dest='' remote_shown=''
remote_ssh_opts=()

# remote_fail SENTENCE: the one sentence a user sees for a board problem.
remote_fail() {
	echo "$remote_me: $*" >&2
	exit 1
}

# remote_target USER@HOST[:PORT]: checks and splits the target.
remote_target() {
	local t=$1 port=''
	if [[ $t =~ ^(.+):([0-9]+)$ ]]; then
		t=${BASH_REMATCH[1]} port=${BASH_REMATCH[2]}
		[[ $port -ge 1 && $port -le 65535 ]] || { echo "$remote_me: --on: no TCP port $port" >&2; exit 2; }
	fi
	[[ $t =~ ^([^@[:space:]]+@)?[^@:[:space:]/]+$ ]] ||
		{ echo "$remote_me: --on wants USER@HOST or USER@HOST:PORT, not '$1'" >&2; exit 2; }
	remote_dest=$t remote_shown=$1
	# A host that does not answer is given up on within ConnectTimeout; a
	# board that stops answering later, within a minute.
	remote_ssh_opts=(-o BatchMode=yes -o ConnectTimeout=20 -o ServerAliveInterval=15
		-o ServerAliveCountMax=4 ${port:+-p "$port"})
}

# remote_ssh COMMAND...: runs COMMAND on the board through the connection.
remote_ssh() {
	ssh "${remote_ssh_opts[@]}" -o ControlPath="$remote_local/ssh" "$remote_dest" "$@"
}

# remote_open: connects (the one sentence for each way that fails), reads
# what the board is (remote_fact KEY) and makes remote_tmp there. The
# caller's EXIT trap calls remote_close.
remote_open() {
	remote_local=$(mktemp -d "${TMPDIR:-/tmp}/tervane-on.XXXXXX")
	echo "$remote_me: connecting to $remote_shown"
	if ! ssh "${remote_ssh_opts[@]}" -o ControlMaster=yes -o ControlPath="$remote_local/ssh" \
		-o ControlPersist=yes -f -N "$remote_dest" 2>"$remote_local/connect.err"; then
		local why host=${remote_dest#*@}
		why=$(grep -v '^Warning: Permanently added' "$remote_local/connect.err" | tail -n 1) || true
		case $why in
		*'Connection refused'*)
			remote_fail "$remote_shown refuses the connection: no SSH server listens on that port (is sshd running on the board, and is it the right port?)" ;;
		*'timed out'* | *'No route to host'* | *'Network is unreachable'*)
			remote_fail "$host does not answer (waited 20 s): is the board on, and on this network? ($why)" ;;
		*'Could not resolve'*)
			remote_fail "no host named $host ($why)" ;;
		*'Permission denied'*)
			remote_fail "the board refuses ${remote_dest%%@*}'s login with the keys ssh offered: put your public key in ~/.ssh/authorized_keys there (ssh-copy-id), or name the key in ~/.ssh/config ($why)" ;;
		*'Host key verification failed'* | *'REMOTE HOST IDENTIFICATION HAS CHANGED'*)
			remote_fail "ssh does not know or no longer trusts $host's host key: log in once with ssh to check and accept it" ;;
		*) remote_fail "ssh to $remote_shown failed: ${why:-ssh gave no reason; ssh -v $remote_dest tells more}" ;;
		esac
	fi
	# What the board is, as KEY=VALUE lines read as data.
	remote_ssh sh -s >"$remote_local/facts" 2>/dev/null <<'PROBE' || remote_fail "the board did not answer after the login"
echo "arch=$(uname -m)"
echo "kernel=$(uname -r)"
echo "libc=$(getconf GNU_LIBC_VERSION 2>/dev/null)"
[ -e /lib/ld-linux-armhf.so.3 ] && echo armhf_loader=yes
[ -e "/lib/modules/$(uname -r)/build/Makefile" ] && echo headers=yes
command -v make >/dev/null && echo make=yes
command -v sudo >/dev/null && echo sudo=installed
sudo -n /sbin/insmod --version >/dev/null 2>&1 && echo sudo=yes
command -v gdbserver >/dev/null && echo gdbserver=yes
[ "$(dpkg-query -W -f '${Status}' lurva-dkms 2>/dev/null)" = "install ok installed" ] &&
	echo "dkms_ko=$(modinfo -n lurva 2>/dev/null)"
grep -q '^lurva ' /proc/modules && echo loaded=yes
echo "tmp=$(mktemp -d /tmp/tervane-on.XXXXXX)"
PROBE
	remote_tmp=$(remote_fact tmp)
	[[ $remote_tmp == /tmp/tervane-on.* ]] || remote_fail "could not make a folder in the board's /tmp"
}

# remote_fact KEY: what the probe found ('' when not).
remote_fact() { sed -n "s/^$1=//p" "$remote_local/facts" | tail -n 1; }

# remote_close: removes what was copied to the board and ends the connection.
remote_close() {
	[[ -n $remote_local ]] || return 0
	if [[ -S $remote_local/ssh ]]; then
		[[ -z $remote_tmp ]] || remote_ssh "rm -rf '$remote_tmp'" </dev/null 2>/dev/null || true
		ssh -o ControlPath="$remote_local/ssh" -O exit "$remote_dest" 2>/dev/null || true
	fi
	rm -rf "$remote_local"
	remote_local=''
}

# remote_check_arch: the programs are armhf; an ARMv7 or later board runs
# them, an arm64 one with Debian's armhf libraries (multiarch) too.
remote_check_arch() {
	local arch
	arch=$(remote_fact arch)
	case $arch in
	armv7* | armv8l)
		[[ -n $(remote_fact armhf_loader) ]] ||
			remote_fail "the board ($arch) has no armhf C library (/lib/ld-linux-armhf.so.3): the programs are built for Debian's armhf" ;;
	aarch64 | arm64)
		[[ -n $(remote_fact armhf_loader) ]] ||
			remote_fail "the board is 64-bit ARM ($arch) without the armhf C library the programs need; add it there with: sudo dpkg --add-architecture armhf && sudo apt-get update && sudo apt-get install libc6:armhf" ;;
	armv[3456]*)
		remote_fail "the board is $arch: the programs need ARMv7 or later (armhf)" ;;
	*)
		remote_fail "the board is $arch, not ARM: the programs are built for 32-bit ARM (armhf)" ;;
	esac
}

# remote_check_libc BINARY...: the board's C library is at least as new as
# the newest GLIBC_ symbol version the programs reference.
remote_check_libc() {
	local need have
	need=$(readelf -V "$@" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1) || true
	have=$(remote_fact libc)
	[[ $have == 'glibc '* ]] || remote_fail "the board's C library is not glibc ('${have:-getconf GNU_LIBC_VERSION says nothing}'): the programs are built for Debian's"
	have=${have#glibc }
	[[ -z $need || $(printf '%s\n' "$need" "$have" | sort -V | tail -n 1) == "$have" ]] ||
		remote_fail "the programs need glibc $need or newer and the board has $have: build them against an older C library, or update the board"
}

# remote_copy FILE...: copies files and folders into remote_tmp.
remote_copy() {
	local f args=()
	for f in "$@"; do args+=(-C "$(cd "$(dirname "$f")" && pwd)" "$(basename "$f")"); done
	tar -chf - "${args[@]}" | remote_ssh tar -C "$remote_tmp" -xf - || remote_fail "copying to the board failed"
}
