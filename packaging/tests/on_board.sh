# shellcheck shell=sh
# Runs on the emulated board (busybox sh), given by packaging/board-test:
# the tervane-examples .deb in /root/debs, a dpkg status naming the board's
# libc, and lurva.ko where dkms installs it. Does what "Install on a board"
# in README.md tells a user to do, checking each step.
# Prints ok or FAIL per check; the exit status is the number of failures.
E=/expected
. /board/checks.sh

mkdir -p /var/lib/dpkg/info
if dpkg -i /root/debs/tervane-examples_*_armhf.deb >/tmp/dpkg 2>&1; then
	ok "dpkg -i tervane-examples (Depends met by the board's libc6)"
else
	fail "dpkg -i tervane-examples:"
	cat /tmp/dpkg
fi
for p in tervane_1 tervane_2 device_client; do
	[ "$(stat -c '%a %u:%g' /usr/bin/$p 2>/dev/null)" = "755 0:0" ] &&
		ok "/usr/bin/$p 0755 root:root" || fail "/usr/bin/$p: $(ls -l /usr/bin/$p 2>&1)"
done
expect_run "tervane_1 from the package" $E/tervane_1.out 0 tervane_1
expect_run "tervane_2 from the package" $E/tervane_2.out 0 tervane_2

ko=/lib/modules/$(uname -r)/updates/dkms/lurva.ko
[ -f "$ko" ] && ok "lurva.ko where dkms installs it for $(uname -r)" || fail "no $ko"
if modprobe lurva; then ok "modprobe lurva"; else fail "modprobe lurva"; fi
[ -c /dev/lurva ] && ok "/dev/lurva appears" || fail "no /dev/lurva after modprobe"
expect_run "device_client exchanges with the module" $E/device_client.out 0 device_client
if modprobe -r lurva && [ ! -e /dev/lurva ]; then ok "modprobe -r lurva"; else fail "modprobe -r lurva"; fi

dpkg -r tervane-examples >/tmp/dpkg 2>&1 || { fail "dpkg -r tervane-examples:"; cat /tmp/dpkg; }
[ ! -e /usr/bin/tervane_1 ] && [ ! -e /usr/bin/device_client ] &&
	ok "dpkg -r tervane-examples removes the programs" || fail "programs left after dpkg -r"

echo "package on board: $fails failed"
exit $fails
