// SPDX-License-Identifier: GPL-2.0
/*
 * Three board checks for /dev/lurva on a kernel with fault injection:
 *
 *   lurva_faults failnth   make the 1st, 2nd, ... fault-injectable
 *                          allocation of open() fail in turn (per-task
 *                          fail-nth, failslab): open gives ENOMEM or
 *                          works, and the next plain open always works
 *   lurva_faults unload    the module cannot be unloaded while a file is
 *                          open, the file keeps working, and after close
 *                          it unloads and its node goes away
 *   lurva_faults greeting  the greeting parameter cannot be changed once
 *                          loaded; if it can, a writer changes it for 5 s
 *                          while replies are formatted, for the detectors
 *                          to see what that does to the reply path
 *
 * Reports as probe.h says; exits 0 only if every check passed.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <pthread.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "../board/probes/probe.h"

#define GREETING "/sys/module/lurva/parameters/greeting"
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

static void failnth(void)
{
	int nth_fd = open("/proc/thread-self/fail-nth", O_RDWR);
	int enomem = 0, opened = 0, n;
	char name[256];

	if (nth_fd < 0) {
		report(0, "open /proc/thread-self/fail-nth", "%s", strerror(errno));
		return;
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
			       "%s", fd < 0 ? strerror(err) : "file does not work");
			if (fd >= 0)
				close(fd);
			break;
		}
		if (fd >= 0) {
			opened++;
			if (!works(fd))
				report(0, "open with a failed allocation",
				       "allocation %d: file does not work", n);
			close(fd);
		} else if (err == ENOMEM) {
			enomem++;
		} else {
			report(0, "open with a failed allocation",
			       "allocation %d: %s, want ENOMEM", n, strerror(err));
		}
		plain = open(DEV, O_RDWR);
		if (plain < 0 || !works(plain)) {
			report(0, "plain open after a failed allocation", "allocation %d: %s",
			       n, plain < 0 ? strerror(errno) : "file does not work");
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
	       enomem ? "the count never ran out" : "none gave ENOMEM");
}

static int delete_module(const char *name)
{
	return (int)syscall(SYS_delete_module, name, O_NONBLOCK);
}

static void unload(void)
{
	struct stat st;
	int fd = open(DEV, O_RDWR);
	int rc, err;

	if (fd < 0) {
		report(0, "open " DEV, "%s", strerror(errno));
		return;
	}
	rc = delete_module("lurva");
	err = errno;
	/* An open file holds a module reference: the kernel says "would block". */
	report(rc == -1 && err == EWOULDBLOCK, "unload while a file is open is refused",
	       "%s", rc ? strerror(err) : "it unloaded");
	report(rc == -1 && works(fd), "the open file still works after the refused unload",
	       "%s", rc ? "it does not" : "the module is gone");
	close(fd);
	rc = delete_module("lurva");
	err = errno;
	report(rc == 0, "unload after close", "%s", strerror(err));
	rc = stat(DEV, &st);
	err = errno;
	report(rc == -1 && err == ENOENT, DEV " is gone after the unload", "%s",
	       rc ? strerror(err) : "it is still there");
}

static volatile int racing = 1;

/* Long greetings in turn: each store frees the one before. */
static void *rewrite(void *arg)
{
	static const char *const words[] = {
		"Greetings_from_a_writer_that_changes_the_greeting_while_it_is_being_read_0000",
		"Hello_again_from_a_writer_that_changes_the_greeting_while_it_is_being_read_1111",
	};
	int fd = *(int *)arg;
	unsigned long n;

	for (n = 0; racing; n++)
		if (pwrite(fd, words[n & 1], strlen(words[n & 1]), 0) < 0)
			break;
	return NULL;
}

static void greeting(void)
{
	int fd = open(GREETING, O_WRONLY);
	time_t end = time(NULL) + 5;
	pthread_t writer;
	char buf[256];
	int dev;

	report(fd < 0 && errno == EACCES, "the greeting cannot be changed once loaded",
	       "%s", fd < 0 ? strerror(errno) : "it opened for writing");
	if (fd < 0)
		return;
	dev = open(DEV, O_RDWR);
	if (dev >= 0 && !pthread_create(&writer, NULL, rewrite, &fd)) {
		while (time(NULL) < end)
			if (write(dev, "c", 1) != 1 || pread(dev, buf, sizeof(buf), 0) < 0)
				break;
		racing = 0;
		pthread_join(writer, NULL);
	}
	if (dev >= 0)
		close(dev);
	close(fd);
}

int main(int argc, char **argv)
{
	if (argc == 2 && !strcmp(argv[1], "failnth"))
		failnth();
	else if (argc == 2 && !strcmp(argv[1], "unload"))
		unload();
	else if (argc == 2 && !strcmp(argv[1], "greeting"))
		greeting();
	else {
		fprintf(stderr, "usage: lurva_faults failnth|unload|greeting\n");
		return 2;
	}
	return probe_done();
}
