// SPDX-License-Identifier: GPL-2.0
/*
 * /dev/lurva on a kernel with fault injection: makes the 1st, 2nd, ...
 * fault-injectable allocation of open() fail in turn (per-task fail-nth,
 * failslab).  Open gives ENOMEM or works, and the next plain open always
 * works.  Reports as probe.h says.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "../board/probes/probe.h"

/* Far more than open() allocates; reaching it means the count never ran out. */
#define MAX_NTH 200

/* A fresh file says hello and takes a byte: the device still works. */
static int works(int fd)
{
	char buf[64];
	ssize_t n = pread(fd, buf, sizeof(buf), 0);

	return n == (ssize_t)strlen(HELLO) && !memcmp(buf, HELLO, n) &&
	       write(fd, "c", 1) == 1;
}

static int set_nth(int nth_fd, int n)
{
	char s[16];
	int len = snprintf(s, sizeof(s), "%d", n);

	return pwrite(nth_fd, s, len, 0) == len;
}

int main(void)
{
	int nth_fd = open("/proc/thread-self/fail-nth", O_RDWR);
	int enomem = 0, opened = 0, n;
	char name[256];

	if (nth_fd < 0) {
		report(0, "open /proc/thread-self/fail-nth", "%s", strerror(errno));
		return probe_done();
	}
	for (n = 1; n <= MAX_NTH; n++) {
		char left[16] = "";
		int fd, err, plain;

		if (!set_nth(nth_fd, n)) {
			report(0, "set fail-nth", "%d: %s", n, strerror(errno));
			break;
		}
		fd = open(DEV, O_RDWR);
		err = errno;
		/* Still counting down: open made fewer than n attempts. */
		if (pread(nth_fd, left, sizeof(left) - 1, 0) < 0)
			left[0] = '?';
		set_nth(nth_fd, 0);
		if (atoi(left) != 0) {
			/* Past the last allocation: a plain open, which works. */
			report(fd >= 0 && works(fd), "open once every allocation was tried",
			       "%s", fd < 0 ? strerror(err) : "the file does not work");
			if (fd >= 0)
				close(fd);
			break;
		}
		if (fd >= 0) {
			opened++;
			if (!works(fd))
				report(0, "open despite a failed allocation",
				       "allocation %d: the file does not work", n);
			close(fd);
		} else if (err != ENOMEM) {
			report(0, "open with a failed allocation",
			       "allocation %d: %s, want ENOMEM", n, strerror(err));
		} else {
			enomem++;
		}
		plain = open(DEV, O_RDWR);
		if (plain < 0 || !works(plain)) {
			report(0, "plain open after a failed allocation", "allocation %d: %s",
			       n, plain < 0 ? strerror(errno) : "the file does not work");
			if (plain >= 0)
				close(plain);
			break;
		}
		close(plain);
	}
	close(nth_fd);
	snprintf(name, sizeof(name),
		 "each of %d allocations on the open path failed in turn: %d gave ENOMEM, %d opened anyway (a failure open can recover from), the next open always worked",
		 n - 1, enomem, opened);
	report(n <= MAX_NTH && enomem > 0, name, "%s",
	       n > MAX_NTH ? "the count never ran out" : "none gave ENOMEM");
	return probe_done();
}
