# shellcheck shell=bash
# Sourced by board/distro/image and board/distro/run-payload: the small initramfs
# that mounts the Debian image from the virtio disk. board/boot boots it.

distro_die() { echo "distro: $*" >&2; exit 2; }
distro_fail() { echo "distro: FAILED: $*" >&2; exit 1; }

# distro_initramfs MODULES_ROOT ABI BUSYBOX OUT
# Packs busybox and the modules that reach an ext4 root on virtio-blk; they
# are modules in the armmp kernels, so the kernel alone cannot mount the disk.
# The modules come from the kernel package itself, so any flavour works.
distro_initramfs() {
	local mroot=$1 abi=$2 busybox=$3 out=$4 tmp m dep mdir
	for mdir in "$mroot/lib/modules/$abi" "$mroot/usr/lib/modules/$abi" ''; do
		[[ -z $mdir || -d $mdir/kernel ]] && break
	done
	[[ -n $mdir ]] || distro_die "no modules for $abi under $mroot"
	tmp=$(mktemp -d)
	mkdir -p "$tmp"/{bin,dev,proc,sys,newroot,mods}
	cp "$busybox" "$tmp/bin/busybox"
	: >"$tmp/mods/order"
	# Dependencies first, each once; crc32c_generic is what ext4 asks the
	# crypto layer for at mount time, which no depends line names.
	local want=(virtio_mmio virtio_pci virtio_blk crc32c_generic ext4) seen=" "
	# Which of them are built in differs by architecture (virtio_pci is on
	# arm64); Debian 13 compresses the rest, which busybox's insmod cannot
	# read, so they go in unpacked.
	_distro_add_mod() {
		local name=$1 f
		[[ $seen == *" $name "* ]] && return 0
		seen+="$name "
		grep -qE "/${name//_/[_-]}\.ko\$" "$mdir/modules.builtin" 2>/dev/null && return 0
		f=$(find "$mdir/kernel" -name "$name.ko*" -print -quit)
		[[ -n $f ]] || distro_die "module $name not found under $mdir"
		for dep in $(modinfo -F depends "$f" | tr ',' ' '); do _distro_add_mod "$dep"; done
		case $f in
		*.xz) xz -dc "$f" >"$tmp/mods/$name.ko" ;;
		*.zst) zstd -qdc "$f" >"$tmp/mods/$name.ko" ;;
		*) cp "$f" "$tmp/mods/$name.ko" ;;
		esac
		echo "$name.ko" >>"$tmp/mods/order"
	}
	for m in "${want[@]}"; do _distro_add_mod "$m"; done
	cat >"$tmp/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t devtmpfs dev /dev
mount -t proc proc /proc
for m in $(cat /mods/order); do insmod /mods/$m 2>/dev/null; done
init=/lib/systemd/systemd
for a in $(cat /proc/cmdline); do
	case $a in tervane.init=*) init=${a#tervane.init=} ;; esac
done
# The system is the virtio disk that holds the init: the order in which
# the disks appear is QEMU's and the kernel's business, not ours.
i=0
while [ $i -lt 100 ]; do
	for d in /dev/vd?; do
		[ -b "$d" ] && mount -t ext4 -o rw "$d" /newroot 2>/dev/null || continue
		[ -x "/newroot$init" ] && break 2
		umount /newroot
	done
	sleep 0.1
	i=$((i + 1))
done
if [ ! -x "/newroot$init" ]; then
	echo "TERVANE-INITRAMFS: no virtio disk with $init"
	poweroff -f
fi
umount /proc
mount --move /dev /newroot/dev
exec switch_root /newroot "$init"
EOF
	chmod +x "$tmp/init"
	(cd "$tmp" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet | gzip -1) >"$out.tmp"
	mv "$out.tmp" "$out"
	rm -rf "$tmp"
}

# distro_judge DISK WORK: why the installed system on the ext4 image DISK
# may not be kept, one reason a line (nothing: it may). What the board
# left in /tervane is copied to WORK. The layout must be merged /usr;
# dpkg --audit must be empty; dpkg --verify may name conffiles only
# (a board's own settings); apt's manual marks must be the essential set
# and what the image asked for, all else marked as dependencies.
distro_judge() {
	local disk=$1 work=$2 d f
	for d in bin lib sbin; do
		debugfs -R "stat /$d" "$disk" 2>/dev/null | grep -q 'Type: symlink' ||
			echo "/$d is not a link: the system is not merged /usr"
	done
	rm -rf "$work"
	mkdir -p "$work"
	debugfs -R "rdump /tervane $work" "$disk" >/dev/null 2>&1
	for f in audit verify manual manual-want; do
		[[ -f $work/tervane/$f ]] || { echo "the board left no /tervane/$f: its checks did not run"; return 0; }
	done
	[[ ! -s $work/tervane/audit ]] || { echo "dpkg --audit:"; cat "$work/tervane/audit"; }
	f=$(awk '$2 != "c"' "$work/tervane/verify")
	[[ -z $f ]] || printf 'dpkg --verify (files not as their packages shipped them):\n%s\n' "$f"
	f=$(diff <(sort "$work/tervane/manual-want") <(sort "$work/tervane/manual") | sed -n 's/^> /manual, should be auto: /p; s/^< /auto, should be manual: /p')
	[[ -z $f ]] || printf 'apt-mark showmanual:\n%s\n' "$f"
}

# distro_posint NAME VALUE: checks a positive whole number option.
distro_posint() {
	[[ $2 =~ ^[1-9][0-9]*$ ]] || distro_die "$1 wants a positive whole number, not '$2'"
}
