# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# After install.sh, first boot: the kernel's DKMS hooks, with a second
# kernel flavour that the image has without its headers: headers that come
# after the package get lurva by their hook. (A build for every kernel with
# headers is dkms's own test, run by autopkgtest.) second-boot.sh goes on
# in that kernel.
: "${second:?}"
if [[ -e /boot/vmlinuz-$second && ! -e /lib/modules/$second/build/Makefile ]]; then
	ok "linux-image-$second installed without its headers"
else
	fail "the image should have linux-image-$second without its headers"
fi
no_lurva "$second"
audit "lurva-dkms"
# The .deb straight from the payload disk: it has the archive's version,
# so apt would fetch it as the archive's, sandboxed, and Debian 13's home
# folders are closed to its sandbox user.
step "apt-get install linux-headers-$second" apt-get install -y "$P"/debs/linux-headers-"$second"_*.deb
dkms_installed "$second" "$version"
every_kernel
audit "the headers"
