# shellcheck shell=bash
# Sourced. The board contract: every producer of something bootable
# (board/fetch, board/debug-kernel/build, board/distro/image) leaves a
# descriptor, board.conf, in its cache entry: KEY=VALUE lines, read as data
# (never sourced). Its keys:
#   board      the board's name          arch     armhf or arm64 (board/machines)
#   release    the kernel release         kernel   the kernel image to boot
#   initrd     an initramfs that starts the entry's own system, which
#              board/boot boots when given no script (empty: none; a
#              script always runs in board/boot's own busybox initramfs)
#   disk       the disk that system starts from; board/boot boots a
#              throwaway overlay of it (empty: none)
#   append     what that system needs on the kernel command line, as its
#              boot loader would give it (root=...; empty: nothing)
#   kdir       the kernel's module build tree (KDIR)
#   karch, cross, cc   Kbuild's ARCH, CROSS_COMPILE and compiler for modules
#   kbuild     more make variables for module builds, space-separated
#              (the debug kernel's sanitizers and coverage; empty: none)
#   buildroot  the root that holds that compiler (empty: the host's)
#   busybox    a static armhf busybox    libc     the board's loader and libc
#              (a folder holding ld-linux-armhf.so.3 and libc.so.6)
#   suite      the Debian suite of the kernel

_board_lib=$(dirname "${BASH_SOURCE[0]}")

# board_conf DIR KEY: the descriptor's value for KEY ('' when unset); fails
# when DIR holds no descriptor.
board_conf() {
	[[ -f $1/board.conf ]] || { echo "board: $1 holds no board.conf; make it with board/fetch" >&2; return 1; }
	sed -n "s/^$2=//p" "$1/board.conf" | tail -n 1
}

# board_write_conf DIR KEY=VALUE...: writes DIR/board.conf.
board_write_conf() {
	local dir=$1
	shift
	printf '%s\n' "$@" >"$dir/board.conf.tmp"
	mv "$dir/board.conf.tmp" "$dir/board.conf"
}

# board_machine ARCH FIELD: the machines table's qemu, console, karch,
# triplet or args.
board_machine() {
	awk -v a="$1" -v f="$2" '!/^#/ && $1 == a {
		if (f == "qemu") print $2
		else if (f == "console") print $3
		else if (f == "karch") print $4
		else if (f == "triplet") print $5
		else { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }
		found = 1
	} END { exit !found }' "$_board_lib/machines" ||
		{ echo "board: no machine for $1 in board/machines" >&2; return 1; }
}

# board_machine_row ARCH: the arch's row of the machines table, for keys.
board_machine_row() { awk -v a="$1" '!/^#/ && $1 == a' "$_board_lib/machines"; }
