#!/bin/bash
# The board's side of the remote test, as root: the network card up at
# QEMU's user-network address, the board's sshd letting tervane in with this run's
# key, sudo for lurva only, then a wait for the host's word (a file it
# makes over ssh).
modprobe virtio_net 2>/dev/null
dev=''
for _ in $(seq 50); do
	for d in /sys/class/net/*; do [[ ${d##*/} == lo ]] || dev=${d##*/}; done
	[[ -z $dev ]] || break
	sleep 0.2
done
[[ -n $dev ]] || { echo "remote: the board has no network card"; exit 1; }
ip link set lo up && ip addr add 10.0.2.15/24 dev "$dev" && ip link set "$dev" up || exit 1
install -d -m 700 -o tervane -g tervane /home/tervane/.ssh
install -m 600 -o tervane -g tervane /mnt/payload/authorized_keys /home/tervane/.ssh/
# The host's own steps (moving headers away, removing gdbserver) log in as
# root; tervane gets no more sudo than ./run --on asks for, so that any
# other sudo in it fails here.
install -d -m 700 /root/.ssh
install -m 600 /mnt/payload/authorized_keys /root/.ssh/
echo 'tervane ALL=(root) NOPASSWD: /sbin/insmod /tmp/tervane-on.*/lurva.ko, /sbin/rmmod lurva' >/etc/sudoers.d/tervane
gpasswd -d tervane sudo >/dev/null
visudo -cq || { echo "remote: the narrow sudoers line is refused"; exit 1; }
# The system's own sshd, started with multi-user.target.
systemctl is-active -q ssh.service || { echo "remote: ssh.service is not running"; systemctl status --no-pager ssh.service; exit 1; }
echo "remote: sshd ready on $dev"
for _ in $(seq 1500); do
	[[ -e /tmp/tervane-done ]] && exit 0
	sleep 1
done
echo "remote: no word from the host within 25 minutes; sshd's log:"
journalctl --no-pager -u ssh.service
exit 1
