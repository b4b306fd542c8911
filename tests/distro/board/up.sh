# shellcheck shell=bash
# A part, after the tally (tests/board/checks.sh): the board is up as any
# Debian board, whatever runs on it next: multi-user.target reached with
# udev's coldplug, no unit failed, logins open, its own name resolves.
for u in multi-user.target systemd-udev-trigger.service; do
	if systemctl is-active -q "$u"; then ok "$u active"; else fail "$u: $(systemctl is-active "$u")"; fi
done
# Not "failed": that is the tally's count.
mapfile -t units < <(systemctl --failed --plain --no-legend | awk '{ print $1 }')
if [[ ${#units[@]} -eq 0 ]]; then
	ok "no unit failed"
else
	fail "failed units: ${units[*]}"
	systemctl status --no-pager "${units[@]}" 2>&1 | tail -n 30
fi
if [[ ! -e /run/nologin ]]; then ok "logins allowed (no /run/nologin)"; else fail "/run/nologin: $(cat /run/nologin)"; fi
if [[ $(getent hosts "$(hostname)") == 127.0.1.1* ]]; then ok "$(hostname) resolves"; else fail "$(hostname) does not resolve to 127.0.1.1"; fi
