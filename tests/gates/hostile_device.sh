#!/usr/bin/env bash
# Runs device_client against hostile stand-ins for /dev/lurva, without the
# module: in a private mount namespace whose /dev is a fresh tmpfs, so the
# machine's /dev is never touched. Each case checks standard output byte for
# byte, an empty standard error and the exit status.
#
# usage: hostile_device.sh DEVICE_CLIENT [RUNNER...]
#   RUNNER, e.g. valgrind and its options, runs the client.
# Exit status 77 (ctest's skip) when no mount namespace can be made.
#
# A regular file is the stand-in with exact control: the client's one-byte
# write lands on the file's first byte, and its read then gets the rest, so
# the file is "X" followed by the reply. Afterwards the file must hold "c"
# (99) followed by the reply: exactly one byte written, and the right one.
set -u

# name | stand-in | reply or target (printf %b) | stdout after the "Writing"
# line (printf %b) | exit status
cases=(
	'empty reply|file||String read from lurva = \n|0'
	'one byte|file|h|String read from lurva = h\n|0'
	'19 bytes|file|Hello from lurva 12|String read from lurva = Hello from lurva 12\n|0'
	'exactly 20 bytes, no zero|file|Hello, you sent 99!!|String read from lurva = Hello, you sent 99!!\n|0'
	'21 bytes: the 21st is not shown|file|ABCDEFGHIJKLMNOPQRSTU|String read from lurva = ABCDEFGHIJKLMNOPQRST\n|0'
	'64 bytes: only 20 are read|file|0123456789abcdefghij0123456789abcdefghij0123456789abcdefghij0123|String read from lurva = 0123456789abcdefghij\n|0'
	'zero byte inside ends the text|file|ab\0cd|String read from lurva = ab\n|0'
	'zero byte first|file|\0Hello from lurva|String read from lurva = \n|0'
	'newline and high bytes pass through|file|a\nb\xff\x01|String read from lurva = a\nb\xff\x01\n|0'
	'every read fails (EIO)|link|/proc/self/mem|String read from lurva = \n|0'
	'a directory cannot be opened|dir||Failed to open /dev/lurva\n|1'
	'a dangling link cannot be opened|link|/nonexistent/lurva|Failed to open /dev/lurva\n|1'
)

if [[ ${1:-} != --inside ]]; then
	[[ $# -ge 1 ]] || { echo "usage: $0 DEVICE_CLIENT [RUNNER...]" >&2; exit 2; }
	client=$(realpath "$1")
	shift
	# Root makes the namespace directly; an ordinary user may through a user
	# namespace where the kernel allows one.
	ns=()
	if unshare --mount true 2>/dev/null; then
		ns=(unshare --mount)
	elif unshare --mount --map-root-user true 2>/dev/null; then
		ns=(unshare --mount --map-root-user)
	else
		echo "SKIPPED: cannot make a private mount namespace here (needs root or user namespaces)"
		exit 77
	fi
	work=$(mktemp -d)
	trap 'rm -rf "$work"' EXIT
	status=0
	"${ns[@]}" "$0" --inside "$work" "$client" "$@" || status=$?
	exit "$status"
fi

shift
work=$1 client=$2
shift 2
runner=("$@")

# Fresh /dev with only /dev/null carried over, for the runner's sake.
mkdir "$work/dev"
mount -t tmpfs -o size=1m,mode=0755 tervane-dev "$work/dev" || exit 1
touch "$work/dev/null"
mount --bind /dev/null "$work/dev/null" || exit 1
mount --rbind "$work/dev" /dev || exit 1

# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
for row in "${cases[@]}"; do
	IFS='|' read -r name kind arg want code <<<"$row"
	rm -rf /dev/lurva
	case $kind in
	file) printf 'X%b' "$arg" >/dev/lurva ;;
	link) ln -s "$arg" /dev/lurva ;;
	dir) mkdir /dev/lurva ;;
	esac

	rc=0
	"${runner[@]}" "$client" </dev/null >"$work/out" 2>"$work/err" || rc=$?

	{ [[ $code -ne 0 ]] || echo 'Writing a value 99 to lurva'; printf '%b' "$want"; } >"$work/want"
	problems=()
	cmp -s "$work/want" "$work/out" || problems+=("standard output differs")
	[[ ! -s $work/err ]] || problems+=("standard error is not empty")
	[[ $rc -eq $code ]] || problems+=("exit status $rc, expected $code")
	if [[ $kind == file ]]; then
		printf 'c%b' "$arg" >"$work/device"
		cmp -s "$work/device" /dev/lurva || problems+=("the device does not hold one written byte 99 before the reply")
	fi

	[[ ${#problems[@]} -eq 0 ]] && { ok "$name"; continue; }
	fail "$name: $(IFS=';'; echo "${problems[*]}")"
	echo "  expected stdout:"; od -c "$work/want" | sed 's/^/    /'
	echo "  actual stdout:"; od -c "$work/out" | sed 's/^/    /'
	[[ ! -s $work/err ]] || { echo "  stderr:"; sed 's/^/    /' "$work/err"; }
done
test_done
