# shellcheck shell=bash
# Sourced by every script of the project, so they all see the same tools.
# modinfo, depmod and lintian's helpers live in /usr/sbin and /sbin, off an
# ordinary user's PATH.
case ":$PATH:" in
*:/usr/sbin:*) ;;
*) PATH=$PATH:/usr/sbin:/sbin ;;
esac
export PATH
