# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# Every system: docs/debian.md's steps to install, word for word, as the user
# would; dkms builds lurva for the running kernel; the exact exchange and the
# man pages. autopkgtest checks the programs' own output (debian/tests/programs).
R=$P/readme
# shellcheck source=up.sh
. "$P/parts/up.sh"
stage_debs
cd "/home/$user" || exit 1
if [[ $(dpkg --print-architecture) != armhf ]]; then
	# The page's multiarch steps first. The board is offline: a local
	# archive of the armhf C library stands in for Debian's.
	rm -f /etc/apt/sources.list /etc/apt/sources.list.d/*
	printf 'Types: deb\nURIs: file:%s/multiarch\nSuites: ./\nTrusted: yes\n' "$P" >/etc/apt/sources.list.d/local.sources
	readme_steps "$R/multiarch.sh"
fi
readme_steps "$R/install.sh" "$R/install.out"
dkms_installed "$kernel" "$version"
if [[ $(stat -c '%F %a' /dev/lurva 2>&1) == "character special file 666" ]]; then
	ok "/dev/lurva is a character device, mode 0666"
else
	fail "/dev/lurva: $(stat -c '%F %a' /dev/lurva 2>&1)"
fi
for p in tervane_1 tervane_2 device_client; do
	if zcat "/usr/share/man/man1/$p.1.gz" 2>/dev/null | grep -q '^\.TH'; then
		ok "man page $p(1)"
	else
		fail "no man page /usr/share/man/man1/$p.1.gz"
	fi
done
step "modprobe -r lurva" modprobe -r lurva
