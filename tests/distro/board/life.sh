# shellcheck shell=bash disable=SC2154 # a part: checks.sh (its names) and install.sh come first
# After install.sh, the rest of a package's life: an upgrade to the next
# version (the old version's prerm takes its module out of every kernel,
# the new postinst builds the new one), then docs/debian.md's step to remove.
: "${new_version:?}"
old_ko=$(stat -c %Y "$(lurva_ko "$kernel")" 2>/dev/null)
step "apt-get install version $new_version over it" \
	apt-get install -y "./lurva-dkms_${new_version}_all.deb" "./tervane-examples_${new_version}_armhf.deb"
dkms_installed "$kernel" "$new_version"
st=$(dkms_status -m lurva -v "$version")
if [[ -z $st && ! -e /var/lib/dkms/lurva/$version && ! -e /usr/src/lurva-$version ]]; then
	ok "lurva $version gone from dkms and /usr/src"
else
	fail "lurva $version still there: '$st' $(ls -d /var/lib/dkms/lurva/"$version" /usr/src/lurva-"$version" 2>&1)"
fi
if [[ $(stat -c %Y "$(lurva_ko "$kernel")" 2>/dev/null) != "$old_ko" ]]; then
	ok "lurva.ko rebuilt"
else
	fail "lurva.ko is the old build"
fi
if [[ $(dpkg-query -W -f '${Version}' tervane-examples) == "$new_version" ]]; then
	ok "tervane-examples $new_version"
else
	fail "tervane-examples not upgraded"
fi
use_module

# Everything the packages put on the system goes with the purge, including
# what dkms made from them.
dpkg -L lurva-dkms tervane-examples | while read -r f; do
	[[ -f $f || -L $f ]] && echo "$f"
done >/tmp/files
echo "$(wc -l </tmp/files) files from the two packages"
readme_steps "$R/remove.sh"
left=$( (xargs -r ls -d 2>/dev/null </tmp/files; find / -xdev -name '*lurva*' \
	-not -path "/home/$user/*.deb" -not -path '/mnt/*' 2>/dev/null) | sort -u)
if [[ -z $left ]]; then ok "nothing of theirs left"; else fail "left after the purge:"; echo "$left"; fi
st=$(dkms_status)
if [[ -z $st ]]; then ok "dkms status empty"; else fail "dkms status after the purge: $st"; fi
audit "the purge"
