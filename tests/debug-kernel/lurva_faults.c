// SPDX-License-Identifier: GPL-2.0
/*
 * Two board checks for /dev/lurva on a kernel with fault injection:
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
 * Prints "ok ..." or "FAIL ..." per check; exits with the failure count.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <pthread.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#define DEV "/dev/lurva"
#define HELLO "Hello from lurva"
#define GREETING "/sys/module/lurva/parameters/greeting"
/* Far more than open() allocates; reaching it means the count never ran out. */
#define MAX_NTH 200

static int fails;

static void check(int good, const char *fmt, ...)
	__attribute__((format(printf, 2, 3)));

static void check(int good, const char *fmt, ...)
{
	va_list ap;

	if (!good)
		fails++;
	fputs(good ? "ok   " : "FAIL ", stdout);
	va_start(ap, fmt);
	vprintf(fmt, ap);
	va_end(ap);
	putchar('\n');
	fflush(stdout);
}

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

static int failnth(void)
{
	int nth_fd = open("/proc/thread-self/fail-nth", O_RDWR);
	int enomem = 0, opened = 0, n;

	if (nth_fd < 0) {
		check(0, "open /proc/thread-self/fail-nth: %s", strerror(errno));
		return fails;
	}
	for (n = 1; n <= MAX_NTH; n++) {
		char left[16] = "";
		int fd, err, plain;

		if (!set_nth(nth_fd, n)) {
			check(0, "set fail-nth %d: %s", n, strerror(errno));
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
			check(fd >= 0 && works(fd), "open once every allocation was tried");
			if (fd >= 0)
				close(fd);
			break;
		}
		if (fd >= 0) {
			opened++;
			if (!works(fd))
				check(0, "open with allocation %d failed: file does not work", n);
			close(fd);
		} else if (err == ENOMEM) {
			enomem++;
		} else {
			check(0, "open with allocation %d failed: %s, want ENOMEM",
			      n, strerror(err));
		}
		plain = open(DEV, O_RDWR);
		if (plain < 0 || !works(plain)) {
			check(0, "plain open after failing allocation %d: %s", n,
			      plain < 0 ? strerror(errno) : "file does not work");
			if (plain >= 0)
				close(plain);
			break;
		}
		close(plain);
	}
	close(nth_fd);
	check(n <= MAX_NTH && enomem > 0,
	      "each of %d allocations on the open path failed in turn: %d gave ENOMEM, %d opened anyway (a failure open can recover from), the next open always worked",
	      n - 1, enomem, opened);
	return fails;
}

static int delete_module(const char *name)
{
	return (int)syscall(SYS_delete_module, name, O_NONBLOCK);
}

static int unload(void)
{
	struct stat st;
	int fd = open(DEV, O_RDWR);
	int rc, err;

	if (fd < 0) {
		check(0, "open " DEV ": %s", strerror(errno));
		return fails;
	}
	rc = delete_module("lurva");
	err = errno;
	/* An open file holds a module reference: the kernel says "would block". */
	check(rc == -1 && err == EWOULDBLOCK,
	      "unload while a file is open is refused (%s)",
	      rc ? strerror(err) : "it unloaded");
	check(rc == -1 && works(fd), "the open file still works after the refused unload");
	close(fd);
	rc = delete_module("lurva");
	check(rc == 0, "unload after close: %s", rc ? strerror(errno) : "done");
	check(stat(DEV, &st) == -1 && errno == ENOENT, DEV " is gone after the unload");
	return fails;
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

static int greeting(void)
{
	int fd = open(GREETING, O_WRONLY);
	time_t end = time(NULL) + 5;
	pthread_t writer;
	char buf[256];
	int dev;

	check(fd < 0 && errno == EACCES, "the greeting cannot be changed once loaded (%s)",
	      fd < 0 ? strerror(errno) : "opened for writing");
	if (fd < 0)
		return fails;
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
	return fails;
}

int main(int argc, char **argv)
{
	if (argc == 2 && !strcmp(argv[1], "failnth"))
		return failnth();
	if (argc == 2 && !strcmp(argv[1], "unload"))
		return unload();
	if (argc == 2 && !strcmp(argv[1], "greeting"))
		return greeting();
	fprintf(stderr, "usage: lurva_faults failnth|unload|greeting\n");
	return 2;
}
