// SPDX-License-Identifier: GPL-2.0
/*
 * Board probe for /dev/lurva: bad user addresses fail with EFAULT and leave
 * the exchange as it was, reads honour count and file position, seeks go
 * from the start or the position only, writes rewind the reply, each open
 * file keeps its own state, and threads that share one descriptor always
 * see a whole reply.
 *
 * Reports as probe.h says; exits 0 only if every check passed.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "probe.h"

#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))

static const char hello[] = HELLO;
static char greeting[REPLY_MAX] = "Hello, you sent";

static void reply_for(unsigned char byte, char *out, size_t size)
{
	snprintf(out, size, "%.*s %u", GREETING_KEPT, greeting, byte);
}

/*
 * Reads from the current position in pieces of at most @chunk bytes until
 * read() returns 0.  Returns the length, -1 on a read error (errno kept) or
 * -2 if the reply overflows @size, i.e. the device never reports its end.
 */
static ssize_t read_to_end(int fd, size_t chunk, char *buf, size_t size)
{
	size_t len = 0;

	for (;;) {
		size_t want = size - 1 - len;
		ssize_t n;

		if (want > chunk)
			want = chunk;
		if (!want)
			return -2;
		n = read(fd, buf + len, want);
		if (n < 0)
			return -1;
		if (n == 0)
			break;
		len += (size_t)n;
	}
	buf[len] = '\0';
	return (ssize_t)len;
}

/* One check: reading @fd from where it stands yields exactly @want. */
static void expect_reply(int fd, size_t chunk, const char *want,
			 const char *name)
{
	char got[REPLY_MAX];
	ssize_t n = read_to_end(fd, chunk, got, sizeof(got));

	if (n == -1)
		report(0, name, "read: %s", strerror(errno));
	else if (n == -2)
		report(0, name, "no end of reply within %d bytes", REPLY_MAX);
	else
		/* By length too: a NUL sent with the reply must not pass. */
		report((size_t)n == strlen(want) && memcmp(got, want, n) == 0,
		       name, "got %zd bytes \"%s\", want %zu \"%s\"", n, got,
		       strlen(want), want);
}

static int open_dev(void)
{
	int fd = open(DEV, O_RDWR);

	if (fd < 0)
		report(0, "open " DEV, "%s", strerror(errno));
	return fd;
}

static void check_node(void)
{
	struct stat st;

	if (stat(DEV, &st) != 0) {
		report(0, "node is a char device with mode 0666", "stat: %s",
		       strerror(errno));
		return;
	}
	report(S_ISCHR(st.st_mode) && (st.st_mode & 07777) == 0666,
	       "node is a char device with mode 0666", "mode %o",
	       (unsigned int)st.st_mode);
}

static void check_position(void)
{
	char buf[8] = "";
	ssize_t n;
	int fd = open_dev();

	if (fd < 0)
		return;
	n = read(fd, buf, 5);
	report(n == 5 && memcmp(buf, "Hello", 5) == 0, "read of 5 returns 5",
	       "returned %zd \"%.*s\"", n, n > 0 ? (int)n : 0, buf);
	expect_reply(fd, 64, hello + 5, "next read continues at position 5");
	n = read(fd, buf, sizeof(buf));
	report(n == 0, "read at end returns 0", "returned %zd", n);

	/* The node has no size to seek from: EINVAL, the position kept. */
	static const int no_size[] = { SEEK_END, SEEK_DATA, SEEK_HOLE };
	int refused = 0;
	off_t got = 0;

	for (size_t i = 0; i < ARRAY_SIZE(no_size); i++) {
		errno = 0;
		got = lseek(fd, 0, no_size[i]);
		refused += got == -1 && errno == EINVAL;
		if (got != -1)
			break;
	}
	report(refused == (int)ARRAY_SIZE(no_size),
	       "SEEK_END, SEEK_DATA and SEEK_HOLE give EINVAL",
	       "%d of 3 did; the last returned %lld (%s)", refused,
	       (long long)got, strerror(errno));
	got = lseek(fd, 0, SEEK_CUR);
	report(got == (off_t)strlen(hello), "the refused seeks keep the position",
	       "at %lld", (long long)got);
	report(lseek(fd, 0, SEEK_SET) == 0, "lseek to 0", "%s",
	       strerror(errno));
	expect_reply(fd, 3, hello, "reply again after lseek, 3 bytes a read");
	close(fd);
}

/*
 * Runs in order on one descriptor; each case reads its reply to the end,
 * so the next case's write must rewind the reply to be read whole.
 */
static const struct {
	const char *name;
	const unsigned char *bytes;
	size_t count;
	size_t chunk;
} writes[] = {
	{ "write 99 (the client's byte)", (const unsigned char *)"c", 1, 20 },
	{ "write 0", (const unsigned char *)"\0", 1, 64 },
	{ "write 255", (const unsigned char *)"\377", 1, 1 },
	{ "write 3 bytes keeps the last", (const unsigned char *)"\1\2\7", 3, 5 },
	{ "write 12 again after a longer one", (const unsigned char *)"\14", 1, 7 },
};

static void check_writes(void)
{
	const size_t cases = ARRAY_SIZE(writes);
	char want[REPLY_MAX];
	unsigned char last;
	ssize_t n;
	size_t i;
	int fd = open_dev();

	if (fd < 0)
		return;
	for (i = 0; i < cases; i++) {
		n = write(fd, writes[i].bytes, writes[i].count);
		if (n != (ssize_t)writes[i].count) {
			report(0, writes[i].name, "write returned %zd (%s)", n,
			       n < 0 ? strerror(errno) : "short");
			continue;
		}
		reply_for(writes[i].bytes[writes[i].count - 1], want,
			  sizeof(want));
		expect_reply(fd, writes[i].chunk, want, writes[i].name);
	}

	/* Zero-length writes must neither fetch the buffer nor rewind. */
	n = write(fd, "x", 0);
	report(n == 0, "zero-length write returns 0", "returned %zd", n);
	n = write(fd, (const void *)1, 0);
	report(n == 0, "zero-length write of a bad address returns 0",
	       "returned %zd (%s)", n, n < 0 ? strerror(errno) : "");
	expect_reply(fd, 64, "", "zero-length write leaves the position");
	lseek(fd, 0, SEEK_SET);
	last = writes[cases - 1].bytes[writes[cases - 1].count - 1];
	reply_for(last, want, sizeof(want));
	expect_reply(fd, 64, want, "zero-length write leaves the reply");
	close(fd);
}

/* A readable, writable page followed by an inaccessible one, or NULL. */
static char *guarded_pages(size_t page)
{
	char *map = mmap(NULL, 2 * page, PROT_READ | PROT_WRITE,
			 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);

	if (map == MAP_FAILED) {
		report(0, "mmap", "%s", strerror(errno));
		return NULL;
	}
	if (mprotect(map + page, page, PROT_NONE) != 0) {
		report(0, "mprotect", "%s", strerror(errno));
		munmap(map, 2 * page);
		return NULL;
	}
	memset(map, 'c', page);
	return map;
}

static void check_efault(void)
{
	size_t page = (size_t)sysconf(_SC_PAGESIZE);
	char *map = guarded_pages(page);
	char want[REPLY_MAX];
	char name[96];
	ssize_t n;
	size_t i;
	int fd;

	if (!map)
		return;
	const struct {
		const char *what;
		void *addr;
		size_t count;
		int write_only;
	} bad[] = {
		{ "address 1", (void *)1, 1, 0 },
		{ "a PROT_NONE page", map + page, 1, 0 },
		{ "a kernel address", (void *)(uintptr_t)0xc0000000u, 1, 0 },
		/* Valid start, but the last byte lies in the PROT_NONE page. */
		{ "a buffer ending in a PROT_NONE page", map + page - 2, 3, 1 },
	};

	fd = open_dev();
	if (fd < 0) {
		munmap(map, 2 * page);
		return;
	}
	if (write(fd, map, 1) != 1)	/* byte 'c', 99 */
		report(0, "write before EFAULT checks", "%s", strerror(errno));

	for (i = 0; i < ARRAY_SIZE(bad); i++) {
		snprintf(name, sizeof(name), "write from %s gives EFAULT",
			 bad[i].what);
		errno = 0;
		n = write(fd, bad[i].addr, bad[i].count);
		report(n == -1 && errno == EFAULT, name, "returned %zd (%s)",
		       n, strerror(errno));
		if (bad[i].write_only)
			continue;

		/* Position 0 so the read has bytes to copy. */
		lseek(fd, 0, SEEK_SET);
		snprintf(name, sizeof(name), "read into %s gives EFAULT",
			 bad[i].what);
		errno = 0;
		n = read(fd, bad[i].addr, 20);
		report(n == -1 && errno == EFAULT, name, "returned %zd (%s)",
		       n, strerror(errno));
	}

	/* Failed calls must not have moved the position or changed the byte. */
	reply_for('c', want, sizeof(want));
	expect_reply(fd, 64, want, "reply and position unchanged by EFAULTs");
	close(fd);
	munmap(map, 2 * page);
}

static void check_separate(void)
{
	static const unsigned char byte_a = 7, byte_b = 200;
	char want[REPLY_MAX];
	int a = open_dev(), b = open_dev(), c = open_dev();

	if (a >= 0 && b >= 0 && c >= 0 &&
	    write(a, &byte_a, 1) == 1 && write(b, &byte_b, 1) == 1) {
		reply_for(byte_a, want, sizeof(want));
		expect_reply(a, 64, want, "first descriptor keeps its byte");
		reply_for(byte_b, want, sizeof(want));
		expect_reply(b, 64, want, "second descriptor keeps its byte");
		expect_reply(c, 64, hello, "untouched descriptor still says hello");
	} else if (a >= 0 && b >= 0 && c >= 0) {
		report(0, "separate descriptors", "write: %s", strerror(errno));
	}
	if (a >= 0)
		close(a);
	if (b >= 0)
		close(b);
	if (c >= 0)
		close(c);
}

#define SHARED_ROUNDS 20000

static void *write_bytes(void *arg)
{
	int fd = *(int *)arg;

	for (int i = 0; i < SHARED_ROUNDS; i++) {
		unsigned char byte = (unsigned char)i;

		if (write(fd, &byte, 1) != 1)
			break;
	}
	return NULL;
}

/* A reply is built under the file's lock: a reader never sees a torn one. */
static void check_shared(void)
{
	char got[REPLY_MAX], want[REPLY_MAX];
	const char *name = "two threads on one descriptor see whole replies";
	int fd = open_dev();
	int torn = 0;
	pthread_t writer;

	if (fd < 0)
		return;
	if (pthread_create(&writer, NULL, write_bytes, &fd)) {
		report(0, name, "pthread_create failed");
		close(fd);
		return;
	}
	for (int i = 0; i < SHARED_ROUNDS && !torn; i++) {
		/* pread from 0 takes the whole reply in one call. */
		ssize_t n = pread(fd, got, sizeof(got) - 1, 0);
		unsigned int byte;
		int used = 0;

		if (n <= 0) {
			torn = 1;
			break;
		}
		got[n] = '\0';
		if (strcmp(got, hello) == 0)
			continue;
		torn = strncmp(got, greeting, strlen(greeting)) != 0 ||
		       sscanf(got + strlen(greeting), " %u%n", &byte, &used) != 1 ||
		       byte > 255 || got[strlen(greeting) + used] != '\0';
		if (!torn) {
			reply_for((unsigned char)byte, want, sizeof(want));
			torn = strcmp(got, want) != 0;
		}
	}
	pthread_join(writer, NULL);
	report(!torn, name, "read \"%s\"", got);
	close(fd);
}

int main(void)
{
	load_greeting(greeting, sizeof(greeting));
	check_node();
	check_position();
	check_writes();
	check_efault();
	check_separate();
	check_shared();
	return probe_done();
}
