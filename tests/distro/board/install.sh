# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# Every system: docs/debian.md's steps to install, word for word, as the user
# would; dkms builds lurva for the running kernel; the exact exchange, the
# programs and their man pages.
R=$P/readme
# The board is up as any Debian board: multi-user.target reached with
# udev's coldplug, no unit failed, logins open, its own name resolves.
for u in multi-user.target systemd-udev-trigger.service; do
	if systemctl is-active -q "$u"; then ok "$u active"; else fail "$u: $(systemctl is-active "$u")"; fi
done
mapfile -t failed < <(systemctl --failed --plain --no-legend | awk '{ print $1 }')
if [[ ${#failed[@]} -eq 0 ]]; then
	ok "no unit failed"
else
	fail "failed units: ${failed[*]}"
	systemctl status --no-pager "${failed[@]}" 2>&1 | tail -n 30
fi
if [[ ! -e /run/nologin ]]; then ok "logins allowed (no /run/nologin)"; else fail "/run/nologin: $(cat /run/nologin)"; fi
if [[ $(getent hosts "$(hostname)") == 127.0.1.1* ]]; then ok "$(hostname) resolves"; else fail "$(hostname) does not resolve to 127.0.1.1"; fi
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
expect_run "tervane_1 as $user" "$E/tervane_1.out" 0 runuser -u "$user" -- tervane_1
expect_run "tervane_2 as $user" "$E/tervane_2.out" 0 runuser -u "$user" -- tervane_2
for p in tervane_1 tervane_2 device_client; do
	if zcat "/usr/share/man/man1/$p.1.gz" 2>/dev/null | grep -q '^\.TH'; then
		ok "man page $p(1)"
	else
		fail "no man page /usr/share/man/man1/$p.1.gz"
	fi
done
step "modprobe -r lurva" modprobe -r lurva
