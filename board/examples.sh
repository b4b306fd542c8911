# shellcheck shell=sh
# Runs on a board, emulated (./run) or the user's own (./run --on), with
# busybox's sh or dash: each example program with its output and exit
# status, lurva.ko loaded from the current folder before device_client.
# The programs and insmod are found on PATH. Their output is kept in the
# current folder, the run's own, so that removing it leaves nothing.
out=./.examples.out
show() {
	echo "\$ $*"
	"$@" >"$out"
	rc=$?
	cat "$out"
	# tervane_2's last text ends no line.
	[ -z "$(tail -c 1 "$out")" ] || echo
	echo "(exit status $rc)"
}
show tervane_1
show tervane_2
show insmod lurva.ko
show device_client
rm -f "$out"
