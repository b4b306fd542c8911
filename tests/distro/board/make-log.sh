# On the board: a lurva-dkms whose sources do not compile. The install must
# fail and the output must carry dkms's own make.log (step prints it).
. /mnt/payload/checks.sh
. /mnt/payload/vars
stage_debs
cd "/home/$user"
step "apt-get install a lurva-dkms that cannot build" \
	apt-get install -y "./lurva-dkms_${version}_all.deb"
finish
