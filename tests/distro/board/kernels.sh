# shellcheck shell=bash
# On the board, first boot: lurva-dkms installed, then another kernel
# flavour (its headers are in the image already); dkms must build lurva
# for it by itself.
# shellcheck source=../checks.sh
. /mnt/payload/checks.sh
: "${second:?}"
stage_debs
cd "/home/$user" || exit 1
step "apt-get install the packages" \
	apt-get install -y "./lurva-dkms_${version}_all.deb" "./tervane-examples_${version}_armhf.deb"
dkms_installed "$kernel" "$version"
step "apt-get install linux-image-$second" \
	apt-get install -y ./linux-image-"$second"_*.deb
dkms_installed "$second" "$version"
finish
