// SPDX-License-Identifier: GPL-2.0
/*
 * Random workload for /dev/lurva, meant for a kernel with KASAN, lockdep
 * and kmemleak on: forked processes, each with several threads, open,
 * close, read, write, lseek, pread and pwrite with random sizes, offsets
 * and bad user addresses, on files of their own and on descriptors shared
 * by every thread of every process.
 *
 * Every reply is checked against a model of the file's history: whether a
 * byte was written, the last one, and the file position.  A shared file's
 * model sits in shared memory behind a process-shared rwlock: held
 * exclusively, a call is checked exactly; held shared, calls race inside
 * the kernel and are checked for what still holds (a read returns a piece
 * of some whole reply, pread the piece at its offset), after which the
 * model is resynchronised by a write.
 *
 * usage: lurva_fuzz [-s SEED] [-t SECONDS] [-p PROCESSES] [-j THREADS]
 * Prints the seed first; the same seed, -p and -j replay the same calls in
 * each thread (the interleaving is the scheduler's).  Exits 0 when every reply
 * matched, 1 on a mismatch, 2 on a usage or setup error.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "../board/probes/probe.h"

#define REPLIES 257		/* "Hello from lurva" and one per byte */
#define SHARED_FILES 4
#define OWN_FILES 3
#define MAX_WORKERS 64
#define FAILS_SHOWN 20

struct model {
	int known;		/* 0 after racing calls, until resynced */
	int written;
	unsigned char last;
	long long pos;
	int mode;		/* O_RDONLY, O_WRONLY or O_RDWR */
};

struct shared_file {
	pthread_rwlock_t lock;
	int fd;			/* opened before fork: one open file for all */
	struct model m;
};

struct shared_area {
	struct shared_file files[SHARED_FILES];
	atomic_ulong calls;
	atomic_ulong fails;
};

struct worker {
	uint64_t rng;
	int id;
	int fd[OWN_FILES];
	struct model m[OWN_FILES];
	/*
	 * Its own [PROT_NONE][read-write][PROT_NONE][read-only] pages: a read
	 * that stops at a fault is checked by what it left there.
	 */
	char *pages;
};

static struct shared_area *area;
static char replies[REPLIES][REPLY_MAX];
static size_t reply_len[REPLIES];
static struct timespec deadline;
static size_t page;

/* A mismatch, shown for the first FAILS_SHOWN of all processes. */
static void __attribute__((format(printf, 2, 3)))
fail(const struct worker *w, const char *fmt, ...)
{
	unsigned long n = atomic_fetch_add(&area->fails, 1);
	char name[48];
	va_list ap;

	if (n >= FAILS_SHOWN)
		return;
	snprintf(name, sizeof(name), "worker %d (pid %d)", w->id, (int)getpid());
	va_start(ap, fmt);
	vreport(0, name, fmt, ap);
	va_end(ap);
}

static uint64_t next(struct worker *w)
{
	/* xorshift64*: small, and the same sequence on every machine */
	w->rng ^= w->rng >> 12;
	w->rng ^= w->rng << 25;
	w->rng ^= w->rng >> 27;
	return w->rng * 0x2545F4914F6CDD1DULL;
}

static unsigned int pick(struct worker *w, unsigned int n)
{
	return (unsigned int)(next(w) >> 33) % n;
}

/* Index into replies[] of the reply the model says the file serves. */
static int reply_of(const struct model *m)
{
	return m->written ? 1 + m->last : 0;
}

static void load_replies(void)
{
	char greeting[REPLY_MAX] = "Hello, you sent";

	load_greeting(greeting, sizeof(greeting));
	snprintf(replies[0], REPLY_MAX, HELLO);
	for (int b = 0; b < 256; b++)
		snprintf(replies[1 + b], REPLY_MAX, "%.*s %d", GREETING_KEPT,
			 greeting, b);
	for (int i = 0; i < REPLIES; i++)
		reply_len[i] = strlen(replies[i]);
}

static void show(char *out, size_t size, const char *buf, ssize_t n)
{
	snprintf(out, size, "\"%.*s\"", n > 0 ? (int)n : 0, n > 0 ? buf : "");
}

/* What a read of @count bytes from @pos returns for reply @r. */
static ssize_t expected_read(int r, long long pos, size_t count)
{
	if (pos >= (long long)reply_len[r])
		return 0;
	if ((long long)count > (long long)reply_len[r] - pos)
		return (ssize_t)(reply_len[r] - pos);
	return (ssize_t)count;
}

static int time_left(void)
{
	struct timespec now;

	clock_gettime(CLOCK_MONOTONIC, &now);
	return now.tv_sec < deadline.tv_sec ||
	       (now.tv_sec == deadline.tv_sec && now.tv_nsec < deadline.tv_nsec);
}

/* Compares a call's result and errno with what the model predicts. */
static int check_ret(struct worker *w, const char *call, ssize_t got,
		     int err, ssize_t want, int want_err)
{
	if (want < 0 && got == -1 && err == want_err)
		return 1;
	if (want >= 0 && got == want)
		return 1;
	fail(w, "%s returned %zd (%s), want %zd (%s)", call, got,
	     got < 0 ? strerror(err) : "ok", want,
	     want < 0 ? strerror(want_err) : "ok");
	return 0;
}

static void check_data(struct worker *w, const char *call, const char *buf,
		       ssize_t n, int r, long long from)
{
	char got[REPLY_MAX + 3];

	if (n <= 0 || memcmp(buf, replies[r] + from, (size_t)n) == 0)
		return;
	show(got, sizeof(got), buf, n);
	fail(w, "%s read %s, want \"%.*s\"", call, got, (int)n,
	     replies[r] + from);
}

/*
 * A bad destination for a read, and how many bytes of it are writable from
 * its start (the rest faults).  0xc0000000 (*@kernel) is the kernel's on a
 * 32-bit kernel, which refuses it before the driver runs, so even a read at
 * the end of the reply fails; under a 64-bit kernel it is an unmapped user
 * address, and a read there at the end of the reply returns 0.
 */
static char *bad_read_buffer(struct worker *w, size_t *good, int *kernel)
{
	*good = 0;
	*kernel = 0;
	switch (pick(w, 5)) {
	case 0:
		return NULL;
	case 1:
		return (char *)1;
	case 2:
		*kernel = 1;
		return (char *)(uintptr_t)0xc0000000u;
	case 3:
		return w->pages + 3 * page;	/* read-only */
	default:
		*good = 1 + pick(w, 8);	/* runs into the PROT_NONE page */
		return w->pages + 2 * page - *good;
	}
}

/* One call on @fd checked exactly against @m, which it updates. */
static void exact_call(struct worker *w, int fd, struct model *m)
{
	char buf[REPLY_MAX], name[64];
	int r = reply_of(m);
	int can_read = m->mode != O_WRONLY, can_write = m->mode != O_RDONLY;
	size_t count = pick(w, 40);
	long long off = (long long)pick(w, 44) - 3;
	ssize_t n, want;
	int err;

	switch (pick(w, 9)) {
	case 0:		/* read */
		n = read(fd, buf, count);
		err = errno;
		want = can_read ? expected_read(r, m->pos, count) : -1;
		snprintf(name, sizeof(name), "read(%zu) at %lld", count, m->pos);
		if (check_ret(w, name, n, err, want, EBADF) && n > 0) {
			check_data(w, name, buf, n, r, m->pos);
			m->pos += n;
		}
		break;
	case 1:		/* pread: the position stays */
		n = pread(fd, buf, count, off);
		err = errno;
		want = off < 0 ? -1 : can_read ? expected_read(r, off, count) : -1;
		snprintf(name, sizeof(name), "pread(%zu, %lld)", count, off);
		if (check_ret(w, name, n, err, want, off < 0 ? EINVAL : EBADF))
			check_data(w, name, buf, n, r, off);
		break;
	case 2:		/* write: the last byte counts and the reply rewinds */
	case 3: {	/* pwrite: the same, but the position stays */
		int positional = pick(w, 2);
		unsigned char bytes[8];

		count = pick(w, sizeof(bytes) + 1);
		for (size_t i = 0; i < count; i++)
			bytes[i] = (unsigned char)next(w);
		n = positional ? pwrite(fd, bytes, count, off) :
				 write(fd, bytes, count);
		err = errno;
		/* A negative offset is refused before the mode is looked at. */
		want = (positional && off < 0) || !can_write ? -1 : (ssize_t)count;
		snprintf(name, sizeof(name), "%s(%zu)",
			 positional ? "pwrite" : "write", count);
		if (check_ret(w, name, n, err, want,
			      positional && off < 0 ? EINVAL : EBADF) && n > 0) {
			m->written = 1;
			m->last = bytes[count - 1];
			if (!positional)
				m->pos = 0;
		}
		break;
	}
	case 4: {	/* lseek: from the start or the position, nothing else */
		static const int whences[] = { SEEK_SET, SEEK_CUR, SEEK_END,
					       SEEK_DATA, SEEK_HOLE };
		int whence = whences[pick(w, 5)];
		long long to = whence == SEEK_SET ? off :
			       whence == SEEK_CUR ? m->pos + off : -1;
		off_t got;

		got = lseek(fd, (off_t)off, whence);
		err = errno;
		snprintf(name, sizeof(name), "lseek(%lld, %d) at %lld", off,
			 whence, m->pos);
		if (check_ret(w, name, got, err, to < 0 ? -1 : to, EINVAL) &&
		    got >= 0)
			m->pos = got;
		break;
	}
	case 5: {	/* read into a bad or partly bad buffer */
		size_t good;
		int kernel;
		char *dst = bad_read_buffer(w, &good, &kernel);
		ssize_t full;

		count = 1 + pick(w, 30);
		n = read(fd, dst, count);
		err = errno;
		full = can_read ? expected_read(r, m->pos, count) : -1;
		if (kernel && full == 0 && n == -1)
			full = -1;
		snprintf(name, sizeof(name), "read(%zu) into %p (%zu good) at %lld",
			 count, (void *)dst, good, m->pos);
		if (full <= (ssize_t)good) {
			want = full;
		} else if (n > 0 && n <= (ssize_t)good) {
			/* A fault may stop the copy short of the bad page. */
			want = n;
		} else {
			want = -1;
		}
		if (check_ret(w, name, n, err, want, can_read ? EFAULT : EBADF) &&
		    n > 0) {
			check_data(w, name, dst, n, r, m->pos);
			m->pos += n;
		}
		break;
	}
	case 6: {	/* write: only its last byte is fetched */
		static const int from_bad[] = { 0, 1, 1, 0 };
		int which = pick(w, 4);
		const unsigned char *src;

		count = 1 + pick(w, 6);
		if (which == 0)		/* whole buffer in the guard page */
			src = (const unsigned char *)w->pages;
		else if (which == 1)	/* starts in it, ends readable */
			src = (const unsigned char *)w->pages + page - count / 2;
		else if (which == 2)	/* from the read-only page */
			src = (const unsigned char *)w->pages + 3 * page;
		else			/* ends in the guard page */
			src = (const unsigned char *)w->pages + 2 * page - count / 2;
		n = write(fd, src, count);
		err = errno;
		want = !can_write ? -1 : from_bad[which] ? (ssize_t)count : -1;
		snprintf(name, sizeof(name), "write(%zu) from a bad buffer (%d)",
			 count, which);
		if (check_ret(w, name, n, err, want, can_write ? EFAULT : EBADF) &&
		    n > 0) {
			m->written = 1;
			m->last = src[count - 1];
			m->pos = 0;
		}
		break;
	}
	case 7: {	/* a dup shares the open file and its position */
		int d = dup(fd);

		if (d < 0) {
			fail(w, "dup: %s", strerror(errno));
			break;
		}
		exact_call(w, d, m);
		close(d);
		break;
	}
	default:	/* rewind and read the whole reply in one call */
		if (!can_read)
			break;
		if (lseek(fd, 0, SEEK_SET) != 0) {
			fail(w, "lseek to 0: %s", strerror(errno));
			break;
		}
		m->pos = 0;
		n = read(fd, buf, sizeof(buf));
		err = errno;
		if (check_ret(w, "whole read", n, err, (ssize_t)reply_len[r], 0) &&
		    n > 0) {
			check_data(w, "whole read", buf, n, r, 0);
			m->pos = n;
		}
		break;
	}
}

/* @data came from some whole reply at @at (or anywhere, @at < 0). */
static int piece_of_a_reply(const char *data, ssize_t n, long long at)
{
	for (int r = 0; r < REPLIES; r++) {
		if (at >= 0) {
			if (expected_read(r, at, (size_t)n) == n &&
			    memcmp(replies[r] + at, data, (size_t)n) == 0)
				return 1;
		} else if (memmem(replies[r], reply_len[r], data, (size_t)n)) {
			return 1;
		}
	}
	return 0;
}

/* A call racing others on the same open file: what still must hold. */
static void racing_call(struct worker *w, int fd)
{
	char buf[REPLY_MAX], got[REPLY_MAX + 3];
	size_t count = 1 + pick(w, 30);
	long long off = pick(w, 30);
	unsigned char byte = (unsigned char)next(w);
	ssize_t n;

	switch (pick(w, 4)) {
	case 0:
		n = read(fd, buf, count);
		if (n < 0 || (size_t)n > count ||
		    (n > 0 && !piece_of_a_reply(buf, n, -1))) {
			show(got, sizeof(got), buf, n);
			fail(w, "racing read(%zu) returned %zd %s", count, n, got);
		}
		break;
	case 1:
		n = pread(fd, buf, count, off);
		if (n < 0 || (size_t)n > count ||
		    (n > 0 && !piece_of_a_reply(buf, n, off))) {
			show(got, sizeof(got), buf, n);
			fail(w, "racing pread(%zu, %lld) returned %zd %s", count,
			     off, n, got);
		}
		break;
	case 2:
		n = write(fd, &byte, 1);
		if (n != 1)
			fail(w, "racing write returned %zd (%s)", n,
			     strerror(errno));
		break;
	default:
		if (lseek(fd, off, SEEK_SET) != off)
			fail(w, "racing lseek to %lld: %s", off, strerror(errno));
		break;
	}
}

static void shared_call(struct worker *w)
{
	struct shared_file *sf = &area->files[pick(w, SHARED_FILES)];
	unsigned char byte = (unsigned char)next(w);

	if (pick(w, 3) == 0) {
		pthread_rwlock_rdlock(&sf->lock);
		/* Readers of the rwlock race here: an atomic store. */
		__atomic_store_n(&sf->m.known, 0, __ATOMIC_RELAXED);
		racing_call(w, sf->fd);
		pthread_rwlock_unlock(&sf->lock);
		return;
	}
	pthread_rwlock_wrlock(&sf->lock);
	if (!sf->m.known) {
		/* Racing calls left some byte and position: set both. */
		if (write(sf->fd, &byte, 1) != 1) {
			fail(w, "resync write: %s", strerror(errno));
		} else {
			sf->m = (struct model){ .known = 1, .written = 1,
						.last = byte, .mode = O_RDWR };
		}
	}
	if (sf->m.known)
		exact_call(w, sf->fd, &sf->m);
	pthread_rwlock_unlock(&sf->lock);
}

static void reopen(struct worker *w, int i)
{
	static const int modes[] = { O_RDWR, O_RDWR, O_RDONLY, O_WRONLY };

	if (w->fd[i] >= 0 && close(w->fd[i]) != 0)
		fail(w, "close: %s", strerror(errno));
	w->m[i] = (struct model){ .known = 1, .mode = modes[pick(w, 4)] };
	w->fd[i] = open(DEV, w->m[i].mode);
	if (w->fd[i] < 0)
		fail(w, "open: %s", strerror(errno));
}

static char *guarded_pages(void)
{
	char *p = mmap(NULL, 4 * page, PROT_READ | PROT_WRITE,
		       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);

	if (p == MAP_FAILED)
		return NULL;
	memset(p + page, 'c', page);
	memset(p + 3 * page, 'r', page);
	if (mprotect(p, page, PROT_NONE) ||
	    mprotect(p + 2 * page, page, PROT_NONE) ||
	    mprotect(p + 3 * page, page, PROT_READ)) {
		munmap(p, 4 * page);
		return NULL;
	}
	return p;
}

static void *work(void *arg)
{
	struct worker *w = arg;
	unsigned long calls = 0;

	w->pages = guarded_pages();
	if (!w->pages) {
		fail(w, "guard pages: %s", strerror(errno));
		return NULL;
	}

	for (int i = 0; i < OWN_FILES; i++) {
		w->fd[i] = -1;
		reopen(w, i);
	}
	while (time_left()) {
		unsigned int what = pick(w, 16);
		int i = (int)pick(w, OWN_FILES);

		if (what == 0)
			reopen(w, i);
		else if (what < 8)
			shared_call(w);
		else if (w->fd[i] >= 0)
			exact_call(w, w->fd[i], &w->m[i]);
		calls++;
	}
	for (int i = 0; i < OWN_FILES; i++)
		if (w->fd[i] >= 0)
			close(w->fd[i]);
	munmap(w->pages, 4 * page);
	atomic_fetch_add(&area->calls, calls);
	return NULL;
}

static int run_process(int proc, int threads, unsigned long seed)
{
	struct worker workers[MAX_WORKERS];
	pthread_t tids[MAX_WORKERS];
	int started = 0;

	for (int t = 0; t < threads; t++) {
		struct worker *w = &workers[t];

		w->id = proc * threads + t;
		/* Never 0, which xorshift cannot leave. */
		w->rng = (seed + 1) * 0x9E3779B97F4A7C15ULL + (uint64_t)w->id * 0xBF58476D1CE4E5B9ULL;
		w->rng |= 1;
		if (pthread_create(&tids[t], NULL, work, w) != 0) {
			fprintf(stderr, "lurva_fuzz: pthread_create failed\n");
			break;
		}
		started++;
	}
	for (int t = 0; t < started; t++)
		pthread_join(tids[t], NULL);
	return started == threads ? 0 : 2;
}

static int number(const char *s, unsigned long max, unsigned long *out)
{
	char *end;

	errno = 0;
	*out = strtoul(s, &end, 10);
	return !errno && *s >= '0' && *s <= '9' && !*end && *out <= max;
}

static int setup(void)
{
	pthread_rwlockattr_t attr;

	page = (size_t)sysconf(_SC_PAGESIZE);
	area = mmap(NULL, sizeof(*area), PROT_READ | PROT_WRITE,
		    MAP_SHARED | MAP_ANONYMOUS, -1, 0);
	if (area == MAP_FAILED)
		return 0;
	pthread_rwlockattr_init(&attr);
	pthread_rwlockattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
	for (int i = 0; i < SHARED_FILES; i++) {
		struct shared_file *sf = &area->files[i];

		pthread_rwlock_init(&sf->lock, &attr);
		sf->m = (struct model){ .known = 1, .mode = O_RDWR };
		sf->fd = open(DEV, O_RDWR);
		if (sf->fd < 0)
			return 0;
	}
	return 1;
}

int main(int argc, char **argv)
{
	unsigned long seed = (unsigned long)time(NULL) ^ (unsigned long)getpid();
	unsigned long seconds = 10, procs = 3, threads = 4, v;
	int opt, status = 0;

	while ((opt = getopt(argc, argv, "s:t:p:j:")) != -1) {
		if (!optarg || !number(optarg, opt == 's' ? ~0UL : 3600, &v))
			opt = '?';
		switch (opt) {
		case 's': seed = v; break;
		case 't': seconds = v; break;
		case 'p': procs = v; break;
		case 'j': threads = v; break;
		default:
			fprintf(stderr, "usage: lurva_fuzz [-s SEED] [-t SECONDS] [-p PROCESSES] [-j THREADS]\n");
			return 2;
		}
	}
	if (procs < 1 || threads < 1 || procs * threads > MAX_WORKERS || optind != argc) {
		fprintf(stderr, "lurva_fuzz: want 1 to %d workers in all, no other arguments\n", MAX_WORKERS);
		return 2;
	}
	/* Worker ids, and so each thread's calls, depend on -p and -j too. */
	printf("lurva_fuzz: seed %lu (replay with -s %lu -p %lu -j %lu), %lu s, %lu processes x %lu threads\n",
	       seed, seed, procs, threads, seconds, procs, threads);
	fflush(stdout);
	load_replies();
	if (!setup()) {
		fprintf(stderr, "lurva_fuzz: setup: %s\n", strerror(errno));
		return 2;
	}
	clock_gettime(CLOCK_MONOTONIC, &deadline);
	deadline.tv_sec += (time_t)seconds;

	for (unsigned long p = 1; p < procs; p++) {
		pid_t pid = fork();

		if (pid < 0) {
			fprintf(stderr, "lurva_fuzz: fork: %s\n", strerror(errno));
			return 2;
		}
		if (pid == 0)
			_exit(run_process((int)p, (int)threads, seed));
	}
	status = run_process(0, (int)threads, seed);
	for (unsigned long p = 1; p < procs; p++) {
		int ws;

		if (wait(&ws) < 0 || !WIFEXITED(ws) || WEXITSTATUS(ws) != 0)
			status = 2;
	}
	for (int i = 0; i < SHARED_FILES; i++)
		close(area->files[i].fd);
	printf("lurva_fuzz: %lu calls, %lu mismatches\n",
	       (unsigned long)atomic_load(&area->calls),
	       (unsigned long)atomic_load(&area->fails));
	if (status)
		return status;
	return atomic_load(&area->fails) ? 1 : 0;
}
