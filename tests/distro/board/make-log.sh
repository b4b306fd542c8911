# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# With no lurva-dkms installed: one whose sources do not compile. apt must
# fail, and what the user sees must hold the compiler's own error from
# dkms's make.log. dpkg is left with nothing half-done once it is purged.
cp "$P"/broken/lurva-dkms_*.deb "/home/$user/broken.deb"
say "apt-get install a lurva-dkms that cannot build"
if apt-get install -y "/home/$user/broken.deb" >/tmp/broken.out 2>&1; then
	fail "a lurva-dkms that cannot build installed"
else
	make_logs >>/tmp/broken.out
	if grep -q tervane_broken_on_purpose /tmp/broken.out; then
		ok "a build that fails fails apt, with the compiler's error from make.log"
	else
		fail "a failed build did not show why:"
		tail -n 40 /tmp/broken.out
	fi
fi
step "dpkg --purge lurva-dkms" dpkg --purge lurva-dkms
audit "the failed build's purge"
