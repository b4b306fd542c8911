#!/usr/bin/env bash
# Quick, on the host: the "Install on a board" blocks of docs/debian.md
# name the packages this build makes and show device_client's exact
# output, so a stale page fails here and not after a boot of the Debian
# board.
#
# usage: tests/distro/readme_test.sh PAGE VERSION EXPECTED_DIR WORK_DIR
set -uo pipefail
[[ $# -eq 4 ]] || { echo "usage: tests/distro/readme_test.sh PAGE VERSION EXPECTED_DIR WORK_DIR" >&2; exit 2; }
readme=$1 version=$2 expected=$3 work=$4
fails=0
check() { # name, command...
	if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi
}
"$(dirname "$0")/readme-steps" "$readme" "$work" || exit 1
check "the install block names lurva-dkms_${version}_all.deb" \
	grep -qF "./lurva-dkms_${version}_all.deb" "$work/install.sh"
check "the install block names tervane-examples_${version}_armhf.deb" \
	grep -qF "./tervane-examples_${version}_armhf.deb" "$work/install.sh"
check "the install block ends with device_client" \
	test "$(grep -v '^[[:space:]]*$' "$work/install.sh" | tail -n 1)" = device_client
check "the output shown is device_client's exact output" cmp -s "$work/install.out" "$expected/device_client.out"
check "the multiarch block adds armhf, then reads the lists" \
	test "$(grep -v '^[[:space:]]*$' "$work/multiarch.sh")" = $'sudo dpkg --add-architecture armhf\nsudo apt-get update'
check "the remove block purges both packages" grep -qE 'apt-get purge .*lurva-dkms' "$work/remove.sh"
# A page without the blocks is refused, not run as nothing.
printf '# T\n\n## Install on a board\n\nNo steps.\n' >"$work/empty.md"
check "a page without the blocks is refused" \
	sh -c '! "$1" "$2" "$3/empty" 2>/dev/null' sh "$(dirname "$0")/readme-steps" "$work/empty.md" "$work"
echo "readme: $fails failed"
exit "$fails"
