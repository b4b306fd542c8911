# shellcheck shell=bash
# On the board: a lurva-dkms whose sources do not compile. The install must
# fail and the output must carry dkms's own make.log (step prints it).
# shellcheck source=../checks.sh
. /mnt/payload/checks.sh
stage_debs
cd "/home/$user" || exit 1
step "apt-get install a lurva-dkms that cannot build" \
	apt-get install -y "./lurva-dkms_${version}_all.deb"
finish
