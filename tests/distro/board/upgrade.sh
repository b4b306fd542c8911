# On the board: packages of a newer version over the installed ones; dkms
# takes the old module out and builds the new one.
. /mnt/payload/checks.sh
. /mnt/payload/vars
stage_debs
cd /root/debs
step "apt-get install version $version" \
	apt-get install -y "./lurva-dkms_${version}_all.deb" "./tervane-examples_${version}_armhf.deb"
dkms_installed "$kernel" "$version"
old_ko=$(stat -c %Y "/lib/modules/$kernel/updates/dkms/lurva.ko" 2>/dev/null)
sleep 1
step "apt-get install version $new_version over it" \
	apt-get install -y "./lurva-dkms_${new_version}_all.deb" "./tervane-examples_${new_version}_armhf.deb"
dkms_installed "$kernel" "$new_version"
st=$(dkms status -m lurva -v "$version" 2>&1)
if [[ -z $st && ! -e /var/lib/dkms/lurva/$version && ! -e /usr/src/lurva-$version ]]; then
	ok "lurva $version gone from dkms and /usr/src"
else
	fail "lurva $version still there: '$st' $(ls -d /var/lib/dkms/lurva/"$version" /usr/src/lurva-"$version" 2>&1)"
fi
if [[ $(stat -c %Y "/lib/modules/$kernel/updates/dkms/lurva.ko" 2>/dev/null) != "$old_ko" ]]; then
	ok "lurva.ko rebuilt"
else
	fail "lurva.ko is the old build"
fi
[[ $(dpkg-query -W -f '${Version}' tervane-examples) == "$new_version" ]] &&
	ok "tervane-examples $new_version" || fail "tervane-examples not upgraded"
use_module
finish
