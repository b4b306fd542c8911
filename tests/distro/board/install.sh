# shellcheck shell=bash
# On the board, one boot for a package's whole life: the README's steps to
# install, an upgrade to the next version, then the README's step to remove.
# shellcheck source=../checks.sh
. /mnt/payload/checks.sh
: "${new_version:?}"
R=$P/readme
stage_debs
cd "/home/$user" || exit 1
if [[ $(dpkg --print-architecture) != armhf ]]; then
	# The README's multiarch steps first. The board is offline: a local
	# archive of the armhf C library stands in for Debian's.
	rm -f /etc/apt/sources.list /etc/apt/sources.list.d/*
	printf 'Types: deb\nURIs: file:%s/multiarch\nSuites: ./\nTrusted: yes\n' "$P" >/etc/apt/sources.list.d/local.sources
	readme_steps "$R/multiarch.sh"
fi
readme_steps "$R/install.sh" "$R/install.out"
dkms_installed "$kernel" "$version"
if [[ $(stat -c '%F %a' /dev/lurva 2>&1) == "character special file 666" ]]; then
	ok "/dev/lurva is a character device, mode 0666"
else
	fail "/dev/lurva: $(stat -c '%F %a' /dev/lurva 2>&1)"
fi
expect_run "tervane_1 as $user" "$E/tervane_1.out" 0 runuser -u "$user" -- tervane_1
expect_run "tervane_2 as $user" "$E/tervane_2.out" 0 runuser -u "$user" -- tervane_2
for p in tervane_1 tervane_2 device_client; do
	if zcat "/usr/share/man/man1/$p.1.gz" 2>/dev/null | grep -q '^\.TH'; then
		ok "man page $p(1)"
	else
		fail "no man page /usr/share/man/man1/$p.1.gz"
	fi
done
step "modprobe -r lurva" modprobe -r lurva

# Upgrade: the old version's prerm takes its module out of every kernel,
# the new postinst builds the new one.
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
finish
