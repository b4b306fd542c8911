# shellcheck shell=bash
# Sourced by the host's test scripts. Each check prints "ok   NAME" or
# "FAIL NAME..." with what was seen instead; test_done prints the tally and
# exits 1 when any check failed. The board's scripts print the same
# (tests/board/checks.sh).
passed=0 failed=0
ok() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
test_done() { echo "$passed passed, $failed failed"; exit $((failed > 0)); }

# check NAME COMMAND...: COMMAND succeeds.
check() { if "${@:2}"; then ok "$1"; else fail "$1"; fi; }

# same NAME ACTUAL WANTED: the two texts are equal.
same() { [[ $2 == "$3" ]] && ok "$1" || fail "$1: '$2', want '$3'"; }

# verdict NAME WHY OUTPUT: passes when WHY (the problems found) is empty;
# a failure shows OUTPUT.
verdict() {
	[[ -z $2 ]] && ok "$1" || { fail "$1:$2; the output was:"; sed 's/^/  | /' <<<"$3"; }
}

# expect NAME STATUS 'REGEX;!REGEX...' COMMAND...: runs COMMAND with no
# input; it must exit STATUS ('fail': any failure but a timeout's 124), and
# its output, both streams with CRs dropped, must hold a line matching each
# REGEX and none matching a !REGEX (extended regular expressions).
expect() {
	local name=$1 want=$2 res out rc=0 why='' re
	IFS=';' read -ra res <<<"$3"
	shift 3
	out=$("$@" 2>&1 </dev/null) || rc=$?
	out=${out//$'\r'/}
	[[ $rc == "$want" || $want == fail && $rc -ne 0 && $rc -ne 124 ]] || why=" exit status $rc"
	for re in ${res[@]+"${res[@]}"}; do
		[[ -n ${re#!} ]] || continue
		if [[ $re == '!'* ]]; then
			! grep -Eq -- "${re#!}" <<<"$out" || why+=" a line matching '${re#!}'"
		else
			grep -Eq -- "$re" <<<"$out" || why+=" no line matching '$re'"
		fi
	done
	verdict "$name" "$why" "$out"
}

# wait_for FILE REGEX PID: waits, up to ten minutes and while process PID
# lives, for a line of FILE matching REGEX; fails when none came.
wait_for() {
	local i
	for ((i = 0; i < 1200; i++)); do
		grep -Eq -- "$2" "$1" 2>/dev/null && return 0
		kill -0 "$3" 2>/dev/null || break
		sleep 0.5
	done
	grep -Eq -- "$2" "$1" 2>/dev/null
}

# ELF facts through readelf, one a line: the libraries a file names, the
# symbols it takes from them, the glibc versions it asks for (X.Y).
elf_needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
elf_undefined() { readelf -sW --dyn-syms "$1" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }' | sort -u; }
elf_glibc() { readelf -V "$1" | sed -n 's/.*Name: GLIBC_\([0-9][0-9.]*\) .*/\1/p' | sort -uV; }
