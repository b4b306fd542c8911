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
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
"$(dirname "$0")/readme-steps" "$readme" "$work" || exit 1
for deb in "lurva-dkms_${version}_all" "tervane-examples_${version}_armhf"; do
	check "the install block names $deb.deb" grep -qF "./$deb.deb" "$work/install.sh"
done
same "the install block ends with device_client" "$(grep -v '^[[:space:]]*$' "$work/install.sh" | tail -n 1)" device_client
check "the output shown is device_client's exact output" cmp -s "$work/install.out" "$expected/device_client.out"
same "the multiarch block adds armhf, then reads the lists" "$(grep -v '^[[:space:]]*$' "$work/multiarch.sh")" \
	$'sudo dpkg --add-architecture armhf\nsudo apt-get update'
check "the remove block purges both packages" grep -qE 'apt-get purge .*lurva-dkms' "$work/remove.sh"
# A page without the blocks is refused, not run as nothing.
printf '# T\n\n## Install on a board\n\nNo steps.\n' >"$work/empty.md"
check "a page without the blocks is refused" \
	sh -c '! "$1" "$2" "$3/empty" 2>/dev/null' sh "$(dirname "$0")/readme-steps" "$work/empty.md" "$work"
test_done
