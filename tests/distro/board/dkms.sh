# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# After install.sh, first boot: what Debian's own DKMS tests and the
# kernel's DKMS hooks cover, with a second kernel flavour that the image
# has without its headers: lurva is built for every kernel that has
# headers, and headers that come after the package get it by their hook.
# second-boot.sh goes on in that kernel.
: "${second:?}"
if [[ -e /boot/vmlinuz-$second && ! -e /lib/modules/$second/build/Makefile ]]; then
	ok "linux-image-$second installed without its headers"
else
	fail "the image should have linux-image-$second without its headers"
fi
every_kernel
audit "lurva-dkms"
# The .deb straight from the payload disk: it has the archive's version,
# so apt would fetch it as the archive's, sandboxed, and Debian 13's home
# folders are closed to its sandbox user.
step "apt-get install linux-headers-$second" apt-get install -y "$P"/debs/linux-headers-"$second"_*.deb
dkms_installed "$second" "$version"
every_kernel
audit "the headers"
