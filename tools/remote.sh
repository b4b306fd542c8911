# shellcheck shell=bash
# Sourced by ./run and ./debug for --on USER@HOST[:PORT]: a board of the
# user's own, reached with plain ssh, so that ~/.ssh/config, the agent and
# the user's keys apply. One connection is opened (a control master) and
# every command after it goes through it. Callers set remote_me (their name
# in messages) before sourcing.
#
# Nothing typed by the user reaches ssh unchecked, and the board's login
# shell only ever parses fixed words ("sh -s"): whatever the board is told
# is a script on standard input. Everything the board keeps lives in one
# folder, /tmp/tervane-on.XXXXXX, that the script owning it removes on its
# way out (and a later run removes when its owner died with the link).
: "${remote_me:=tervane}"

remote_local='' remote_dest='' remote_shown='' remote_up=''
remote_ssh_opts=()
# The board folder's name as mktemp makes it: on both sides nothing is
# removed that does not match it exactly.
remote_dir_re='^/tmp/tervane-on\.[A-Za-z0-9]{6}$'

# remote_is_dir PATH: PATH is a board folder's name.
remote_is_dir() { [[ $1 =~ $remote_dir_re ]]; }

# remote_quote WORD...: the words as one line for a POSIX shell (gdb runs
# its pipe target with /bin/sh).
remote_quote() {
	local w q=''
	for w in "$@"; do q+=" '${w//\'/\'\\\'\'}'"; done
	echo "${q# }"
}

# remote_fail SENTENCE: the one sentence a user sees for a board problem.
remote_fail() {
	echo "$remote_me: $*" >&2
	exit 1
}

# remote_usage_fail SENTENCE: a target refused before anything is done.
remote_usage_fail() {
	echo "$remote_me: --on USER@HOST[:PORT]: $*" >&2
	exit 2
}

# remote_target USER@HOST[:PORT]: checks and splits the target. Only a user
# and host made of the characters below can reach ssh, never anything that
# ssh could read as an option.
remote_target() {
	local t=$1 port='' host
	[[ -n $t ]] || remote_usage_fail "the target is empty: name a user and host, or a Host of ~/.ssh/config"
	if [[ $t == *\[* || $t =~ :.*: ]]; then
		remote_usage_fail "'$t' is an IPv6 address, which --on does not take: name it in ~/.ssh/config (Host myboard, HostName $(sed 's/^.*@//; s/^\[//; s/\]\(:[0-9]*\)\{0,1\}$//' <<<"$t")) and use --on myboard"
	fi
	if [[ $t == *:* ]]; then
		port=${t##*:} t=${t%:*}
		# Decimal, no leading zero: bash would read 010 as octal.
		[[ $port =~ ^[1-9][0-9]{0,4}$ ]] && ((port <= 65535)) ||
			remote_usage_fail "'$port' is not a TCP port: a number from 1 to 65535, without leading zeros"
	fi
	host=${t#*@}
	if [[ $t == *@* ]]; then
		[[ ${t%@*} =~ ^[A-Za-z0-9_][A-Za-z0-9._-]*$ ]] ||
			remote_usage_fail "'${t%@*}' is not a user name: letters, digits, '.', '_' and '-', not first a '.' or '-'"
	fi
	[[ $host =~ ^[A-Za-z0-9_][A-Za-z0-9._-]*$ ]] ||
		remote_usage_fail "'$host' is not a host name or IPv4 address: letters, digits, '.', '_' and '-', not first a '.' or '-'"
	remote_dest=$t remote_shown=$1
	# A host that does not answer is given up on within ConnectTimeout; a
	# board that stops answering later, within a minute. The master outlives
	# this run by at most ControlPersist, even when the run is killed.
	remote_ssh_opts=(-o BatchMode=yes -o ConnectTimeout=20 -o ServerAliveInterval=15
		-o ServerAliveCountMax=4 ${port:+-p "$port"})
}

# remote_ssh COMMAND...: runs COMMAND on the board through the connection.
remote_ssh() {
	ssh "${remote_ssh_opts[@]}" -o ControlPath="$remote_local/ssh" -- "$remote_dest" "$@"
}

# remote_sh: runs the script on standard input with the board's sh.
remote_sh() { remote_ssh sh -s; }

# remote_key_hint: why ssh offered no key when one is there: a key with a
# passphrase that no agent holds (BatchMode never asks for it).
remote_key_hint() {
	local f
	ssh-add -l >/dev/null 2>&1 && return 1
	while read -r f; do
		f=${f/#\~/$HOME}
		[[ -f $f ]] || continue
		if ! ssh-keygen -y -P '' -f "$f" >/dev/null 2>&1; then
			echo "$f"
			return 0
		fi
	done < <(ssh -G "${remote_ssh_opts[@]}" -- "$remote_dest" 2>/dev/null | sed -n 's/^identityfile //p')
	return 1
}

# remote_open program|lurva: connects (the one sentence for each way that
# fails) and reads what the board is (remote_fact KEY); for lurva also how
# it can be loaded there. The probe also removes the folders of earlier
# runs whose link dropped, and unloads the lurva they loaded. The caller's
# EXIT trap calls remote_close.
remote_open() {
	remote_local=$(mktemp -d "${TMPDIR:-/tmp}/tervane-on.XXXXXX")
	echo "$remote_me: connecting to $remote_shown"
	if ! ssh "${remote_ssh_opts[@]}" -o ControlMaster=yes -o ControlPath="$remote_local/ssh" \
		-o ControlPersist=300 -f -N -- "$remote_dest" 2>"$remote_local/connect.err"; then
		local why key host=${remote_dest#*@}
		why=$(grep -v '^Warning: Permanently added' "$remote_local/connect.err" | tail -n 1) || true
		case $why in
		*'Connection refused'*)
			remote_fail "$remote_shown refuses the connection: no SSH server listens on that port (is sshd running on the board, and is it the right port?)" ;;
		*'timed out'* | *'No route to host'* | *'Network is unreachable'*)
			remote_fail "$host does not answer (waited 20 s): is the board on, and on this network? ($why)" ;;
		*'Could not resolve'*)
			remote_fail "no host named $host ($why)" ;;
		*'Permission denied'*)
			if key=$(remote_key_hint); then
				remote_fail "your key $key has a passphrase and no agent holds it (--on never lets ssh ask for one): run ssh-add $key in a shell with an agent (eval \"\$(ssh-agent)\" starts one), then try again"
			fi
			remote_fail "the board refuses ${remote_dest%%@*}'s login with the keys ssh offered: put your public key in ~/.ssh/authorized_keys there (ssh-copy-id), or name the key in ~/.ssh/config ($why)" ;;
		*'Host key verification failed'* | *'REMOTE HOST IDENTIFICATION HAS CHANGED'*)
			remote_fail "ssh does not know or no longer trusts $host's host key: log in once with ssh to check and accept it" ;;
		*) remote_fail "ssh to $remote_shown failed: ${why:-ssh gave no reason; ssh -v $remote_dest tells more}" ;;
		esac
	fi
	remote_up=1
	# What the board is, as KEY=VALUE lines read as data.
	{ remote_sweep_sh; echo "want=$1"; cat <<'PROBE'; } | remote_sh >"$remote_local/facts" 2>/dev/null ||
PATH=$PATH:/usr/sbin:/sbin
echo "arch=$(uname -m)"
echo "kernel=$(uname -r)"
echo "libc=$(getconf GNU_LIBC_VERSION 2>/dev/null)"
[ -e /lib/ld-linux-armhf.so.3 ] && echo armhf_loader=yes
[ -e "/lib/modules/$(uname -r)/build/Makefile" ] && echo headers=yes
command -v make >/dev/null && echo make=yes
command -v base64 >/dev/null && command -v tar >/dev/null && echo unpack=yes
command -v gdbserver >/dev/null && echo gdbserver=yes
grep -q '^lurva ' /proc/modules && echo loaded=yes
[ "$want" = lurva ] || exit 0
# The installed lurva-dkms's module is loaded by name, which a sudoers
# line can grant without granting any other module. Held or not.
load='/sbin/insmod /tmp/tervane-on.XXXXXX/lurva.ko'
if [ "$(dpkg-query -W -f '${db:Status-Eflag} ${db:Status-Status}' lurva-dkms 2>/dev/null)" = "ok installed" ] &&
	modinfo -n lurva >/dev/null 2>&1; then
	echo dkms=yes
	load='/sbin/modprobe lurva'
fi
if command -v sudo >/dev/null; then
	# shellcheck disable=SC2086 # $load is two words
	if sudo -n -l $load >/dev/null 2>&1 && sudo -n -l /sbin/rmmod lurva >/dev/null 2>&1; then
		echo sudo=yes
	else
		echo sudo=installed
	fi
fi
true
PROBE
		remote_fail "the board did not answer after the login"
	local d
	for d in $(remote_fact swept); do
		echo "$remote_me: removed $d, left on the board by an earlier run whose link dropped"
	done
	[[ -z $(remote_fact swept_unloaded) ]] || echo "$remote_me: and unloaded the lurva that run had loaded"
}

# remote_fact KEY: what the probe found ('' when not; KEY's values on one
# line each when it came more than once).
remote_fact() { sed -n "s/^$1=//p" "$remote_local/facts"; }

# remote_sweep_sh: the board's part that removes the folders of runs that
# died without removing theirs: the folder's owner file names the boot and
# the process that holds it. A folder is only taken when its name is what
# mktemp makes and it is this user's own.
remote_sweep_sh() {
	cat <<'SWEEP'
boot=$(cat /proc/sys/kernel/random/boot_id 2>/dev/null)
for d in /tmp/tervane-on.*; do
	case ${d#/tmp/tervane-on.} in [A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9]) ;; *) continue ;; esac
	[ -d "$d" ] && [ ! -L "$d" ] && [ -O "$d" ] || continue
	if [ -f "$d/owner" ]; then
		read -r b p _ <"$d/owner"
		[ "$b" != "$boot" ] || ! kill -0 "$p" 2>/dev/null || continue
	else
		# Made this minute and not yet claimed: a run starting now.
		[ -n "$(find "$d" -maxdepth 0 -mmin +1)" ] || continue
	fi
	if [ -e "$d/loading" ] && grep -q '^lurva ' /proc/modules &&
		sudo -n /sbin/rmmod lurva 2>/dev/null; then
		echo swept_unloaded=yes
	fi
	rm -rf "$d" && echo "swept=$d"
done
SWEEP
}

# remote_board_sh RUN_ID LIMIT: the head of a board script. It makes the
# run's folder, claims it (owner) and works inside it, TMPDIR too; on an
# interrupt, a hang-up, a broken pipe or after LIMIT seconds it stops all
# it started, unloads lurva if it loaded it, and removes the folder. The
# rest of the script ends with "main", which runs in the folder.
remote_board_sh() {
	[[ $1 =~ ^[A-Za-z0-9]+$ && $2 =~ ^[1-9][0-9]*$ ]] || remote_fail "internal: bad run id or limit"
	printf 'run_id=%s limit=%s me=%s\n' "$1" "$2" "$remote_me"
	cat <<'HEAD'
PATH=$PATH:/usr/sbin:/sbin
d=$(mktemp -d /tmp/tervane-on.XXXXXX) || { echo "$me: could not make a folder in the board's /tmp" >&2; exit 1; }
case ${d#/tmp/tervane-on.} in [A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9]) ;; *) echo "$me: mktemp made $d" >&2; exit 1 ;; esac
echo "$(cat /proc/sys/kernel/random/boot_id) $$ $run_id" >"$d/owner"
cd "$d" || exit 1
export TMPDIR="$d"
# stop STATUS WHY: everything started from here ends, lurva goes, the
# folder goes. kill 0 reaches the whole process group: sshd made it for
# this script alone.
stop() {
	trap '' INT HUP TERM PIPE
	[ -z "$2" ] || echo "$me: $2" >&2
	kill -TERM 0 2>/dev/null
	[ -z "$job" ] || wait "$job" 2>/dev/null
	rc=$1
	# A client just killed may not have closed /dev/lurva yet.
	i=0
	while [ -e "$d/loading" ] && grep -q '^lurva ' /proc/modules; do
		if sudo -n /sbin/rmmod lurva 2>"$d/rmmod.err"; then
			[ "$rc" -le 128 ] && [ "$rc" -ne 124 ] || echo "$me: lurva unloaded" >&2
			break
		fi
		i=$((i + 1))
		if [ $i -ge 20 ]; then
			echo "$me: could not unload lurva (sudo rmmod lurva): $(cat "$d/rmmod.err")" >&2
			rc=1
			break
		fi
		sleep 0.5
	done
	cd / && rm -rf "$d"
	exit "$rc"
}
trap 'stop 130 "interrupted on the board: stopped"' INT
trap 'stop 129 ""' HUP PIPE
trap 'if [ -e "$d/timeout" ]; then stop 124 "the board'"'"'s part took more than $limit s: stopped"; else stop 143 "stopped on the board"; fi' TERM
# arm SECS: (re)starts the watchdog: after SECS the script stops, 124.
dog=''
arm() {
	[ -z "$dog" ] || kill "$dog" 2>/dev/null
	( sleep "$1" && touch "$d/timeout" && kill -TERM $$ ) 2>/dev/null &
	dog=$! limit=$1
}
arm "$limit"
# run COMMAND...: runs it in the background so that a signal is seen at once.
job=''
run() {
	"$@" </dev/null &
	job=$!
	wait $job
}
HEAD
}

# remote_archive FILE...: a board script line that unpacks FILE... into the
# current folder, the files carried in the script itself.
remote_archive() {
	local f args=()
	for f in "$@"; do args+=(-C "$(cd "$(dirname "$f")" && pwd)" "$(basename "$f")"); done
	echo "base64 -d <<'ARCHIVE' | tar -xf -"
	tar -chf - "${args[@]}" | base64 || remote_fail "could not pack $*"
	echo ARCHIVE
}

# remote_close: stops whatever this run still has on the board (a folder
# claimed with this run's id) and ends the connection. Without the master
# (it outlived ControlPersist, or was killed) ssh logs in anew for this.
remote_close() {
	[[ -n $remote_local ]] || return 0
	if [[ -n $remote_up ]]; then
		{
			echo "run_id=${remote_local##*.}"
			cat <<'CLOSE'
for d in /tmp/tervane-on.*; do
	[ -O "$d/owner" ] || continue
	read -r b p id <"$d/owner"
	[ "$id" = "$run_id" ] || continue
	kill -TERM "$p" 2>/dev/null
	i=0
	while [ -d "$d" ] && [ $i -lt 30 ]; do sleep 0.5; i=$((i + 1)); done
	[ -d "$d" ] || echo "stopped=$d"
	! grep -q '^lurva ' /proc/modules || echo loaded
done
CLOSE
			remote_sweep_sh
		} | timeout 30 ssh "${remote_ssh_opts[@]}" -o ControlPath="$remote_local/ssh" -- "$remote_dest" sh -s 2>/dev/null |
			sed -n -e "s/^stopped=\(.*\)/$remote_me: stopped on the board what this run started, and removed \1/p" \
				-e "s/^loaded\$/$remote_me: lurva is still loaded on the board: unload it there with sudo rmmod lurva/p" \
				-e "s/^swept=\(.*\)/$remote_me: removed \1, left on the board by an earlier run/p" >&2 || true
		ssh -o ControlPath="$remote_local/ssh" -O exit -- "$remote_dest" 2>/dev/null || true
	fi
	[[ ${remote_local%/*} != "${TMPDIR:-/tmp}" || ! ${remote_local##*/} =~ ^tervane-on\.[A-Za-z0-9]{6}$ ]] ||
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
	[[ -n $(remote_fact unpack) ]] ||
		remote_fail "the board has no base64 or tar, which unpack what is sent there: install them there (coreutils, tar)"
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
