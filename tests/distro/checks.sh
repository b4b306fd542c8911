# shellcheck shell=bash
# Sourced by the scripts that run on the Debian board (bash, as root). The
# tally (ok, fail, test_done), expect_run and the kernel log's judge are
# the emulated boards' own, brought on the payload.
P=/mnt/payload
# shellcheck source=../board/checks.sh
. "$P/board-checks.sh"
export TROUBLE=$P/kernel-trouble
E=$P/expected
kernel=$(uname -r)
user=tervane
# The case's facts, written by distro-test: version, and per part
# new_version, or first and second.
# shellcheck disable=SC1091 # made for each run
. "$P/vars"
: "${version:?}"

# Prints what dkms leaves when a build fails: its own make.log.
make_logs() {
	local f
	for f in /var/lib/dkms/lurva/*/build/make.log; do
		[[ -f $f ]] || continue
		echo "---- $f"
		cat "$f"
		echo "---- end of make.log"
	done
}
# What the board is doing now: a board that hangs shows it in its last
# console lines.
say() { echo "---- $*"; }
# name, command...: runs a command, showing its output only on failure,
# and how long it took (dkms builds take a while under emulation).
step() {
	local name=$1 t=$SECONDS rc=0
	shift
	say "$name"
	"$@" >/tmp/step.out 2>&1 || rc=$?
	if [[ $rc -eq 0 ]]; then
		ok "$name ($((SECONDS - t)) s)"
	else
		fail "$name (exit status $rc, $((SECONDS - t)) s):"
		tail -n 40 /tmp/step.out
		make_logs
	fi
}
# file [expected output]: the page's lines (docs/debian.md), each run word for word by the
# ordinary user in its home, where the packages are, answering yes where
# apt asks as a user would. The last line's output must be the expected.
readme_steps() {
	local file=$1 want=${2:-} line last
	last=$(grep -v '^[[:space:]]*$' "$file" | tail -n 1)
	while IFS= read -r line; do
		[[ -n ${line//[[:space:]]/} ]] || continue
		if [[ -n $want && $line == "$last" ]]; then
			expect_run "as $user: $line" "$want" 0 runuser -l "$user" -c "$line"
		else
			step "as $user: $line" sh -c 'yes | runuser -l "$1" -c "$2"' sh "$user" "$line"
		fi
	done <"$file"
}
# The debs from the payload, copied to the user's home as docs/debian.md says.
stage_debs() {
	install -m 644 -o "$user" -g "$user" "$P"/debs/*.deb "/home/$user/"
}
# dkms status, its standard error shown only when it fails.
dkms_status() {
	dkms status "$@" 2>/tmp/dkms.err || { echo "dkms status failed:"; cat /tmp/dkms.err; }
}
# kernel: the module dkms installed for KERNEL; Debian 13's dkms compresses
# it as the kernel's own modules are (lurva.ko.xz).
lurva_ko() {
	local f
	f=$(compgen -G "/lib/modules/$1/updates/dkms/lurva.ko*") || return 1
	echo "${f%%$'\n'*}"
}
# kernel, version: dkms reports lurva VERSION installed for KERNEL, and the
# module there is the one it built for that kernel.
dkms_installed() {
	local k=$1 v=$2 ko st
	ko=$(lurva_ko "$k") || ko="no lurva.ko* in /lib/modules/$k/updates/dkms"
	st=$(dkms_status -m lurva -v "$v" -k "$k")
	if [[ $st == "lurva/$v, $k, "*": installed" ]]; then
		ok "dkms status: $st"
	else
		fail "dkms status for lurva/$v on $k: '$st'"
		make_logs
	fi
	if [[ $(modinfo -F vermagic "$ko" 2>&1) == "$k "* ]]; then
		ok "$ko built for $k"
	else
		fail "$ko: $(modinfo -F vermagic "$ko" 2>&1)"
	fi
}
# The module loads, /dev/lurva is there for everyone, and an ordinary user
# gets the exact exchange from the packaged device_client.
use_module() {
	step "modprobe lurva on $kernel" modprobe lurva
	if [[ $(stat -c '%F %a' /dev/lurva 2>&1) == "character special file 666" ]]; then
		ok "/dev/lurva is a character device, mode 0666"
	else
		fail "/dev/lurva: $(stat -c '%F %a' /dev/lurva 2>&1)"
	fi
	expect_run "device_client as $user" "$E/device_client.out" 0 runuser -u "$user" -- device_client
	step "modprobe -r lurva" modprobe -r lurva
	kernel_log_check
}
# dpkg has nothing half-done after WHAT.
audit() {
	local a
	a=$(dpkg --audit 2>&1)
	if [[ -z $a ]]; then ok "dpkg --audit empty after $1"; else fail "dpkg --audit after $1:"; echo "$a"; fi
}
# kernel: dkms has nothing of lurva for KERNEL, built or installed (its
# sources may stay "added": they are no kernel's).
no_lurva() {
	local st
	st=$(dkms_status -m lurva -k "$1" | grep -F ", $1,")
	if [[ -z $st && ! -e /var/lib/dkms/lurva/$version/$1 ]] && ! lurva_ko "$1" >/dev/null; then
		ok "no lurva for $1"
	else
		fail "lurva for $1: '$st' $(lurva_ko "$1") $(ls -d "/var/lib/dkms/lurva/$version/$1" 2>&1)"
	fi
}
# lurva installed for each kernel that has headers, and for no other.
every_kernel() {
	local d
	for d in /lib/modules/*/; do
		d=${d%/} d=${d##*/}
		if [[ -f /lib/modules/$d/build/Makefile ]]; then dkms_installed "$d" "$version"; else no_lurva "$d"; fi
	done
}
