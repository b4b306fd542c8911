# Runs on every named board under busybox sh, whatever its kernel: the
# module built for that kernel at /lib/modules/lurva.ko, device_client on
# PATH, the expected outputs in /expected. The exit status is the number
# of failed checks.

E=/expected
ko=/lib/modules/lurva.ko
. /board/checks.sh
echo "board: machine $(uname -m)"

insmod $ko && ok "insmod lurva.ko into $(uname -r)" || fail "insmod lurva.ko into $(uname -r)"
expect_run "device_client exchanges with the module" $E/device_client.out 0 device_client
mkdir -p /etc && echo 'nobody:x:65534:65534:nobody:/:/bin/sh' >>/etc/passwd
expect_run "an ordinary user can use the device" $E/device_client.out 0 \
	su -s /bin/sh -c device_client nobody

printf 'Hello from lurva' >/tmp/hello
timeout 10 cat /dev/lurva >/tmp/cat
rc=$?
[ $rc = 0 ] && cmp -s /tmp/cat /tmp/hello && ok "cat /dev/lurva reads the greeting and ends" ||
	fail "cat /dev/lurva: status $rc, read '$(cat /tmp/cat)'"

# A reply of more than 20 bytes: the client shows exactly the first 20.
rmmod lurva || fail "rmmod lurva"
insmod $ko greeting=Greetings_from_the_lurva_device || fail "insmod with greeting"
printf 'Writing a value 99 to lurva\nString read from lurva = Greetings_from_the_l\n' >/tmp/long
expect_run "a reply over 20 bytes shows its first 20" /tmp/long 0 device_client
rmmod lurva && [ ! -e /dev/lurva ] && ok "rmmod lurva removes /dev/lurva" || fail "rmmod lurva"

if dmesg | grep -E 'BUG|WARNING|Oops' >/tmp/kernel_bad; then
	fail "kernel log reports trouble:"
	cat /tmp/kernel_bad
else
	ok "kernel log holds no BUG, WARNING or Oops"
fi

echo "board $(uname -r): $fails failed"
exit $fails
