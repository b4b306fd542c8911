# shellcheck shell=bash
# Sourced by every script of the project, so they all see the same tools.
# modinfo, depmod and lintian's helpers live in /usr/sbin and /sbin, off an
# ordinary user's PATH.
case ":$PATH:" in
*:/usr/sbin:*) ;;
*) PATH=$PATH:/usr/sbin:/sbin ;;
esac
export PATH

# Prints a TCP port on 127.0.0.1 that nothing listens on, for a gdb stub.
free_port() {
	local p
	for _ in $(seq 50); do
		p=$((20000 + RANDOM % 20000))
		if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
			echo "$p"
			return 0
		fi
	done
	echo "found no free TCP port for a gdb stub" >&2
	return 1
}

# only_std_fds COMMAND...: runs COMMAND with only standard input, output and
# error open. mmdebstrap hands apt a shell snippet naming its next free
# descriptor, which dash cannot parse past 9: descriptors inherited from a
# caller (locks, a test runner's) must not push it there.
only_std_fds() {
	(
		for fd in "/proc/$BASHPID/fd/"*; do
			fd=${fd##*/}
			[[ $fd -le 2 ]] || eval "exec $fd>&-"
		done
		exec "$@"
	)
}
