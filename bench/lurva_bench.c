// SPDX-License-Identifier: GPL-2.0
/*
 * Board benchmark: exchanges per second through /dev/lurva, each one the
 * four calls device_client makes (open, write one byte, read up to 20
 * bytes, close), against the same four calls on /dev/zero.  /dev/zero
 * costs the same system calls with next to no driver work, so the ratio
 * shows what lurva's own open, write, read and release add.
 *
 * usage: lurva_bench [SECONDS]    (per device, default 1.5)
 *
 * Prints one line per device, "bench DEVICE EXCHANGES SECONDS PER_SECOND",
 * and exits 1 if any exchange fails or returns the wrong reply: a fast
 * wrong answer must not pass for a result.  Expects the module loaded with
 * its default greeting.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

/* Rounds alternate between the devices, in turn first and last, so that a
 * host busy for a moment slows both alike; the clock is read once per
 * batch, not per exchange. */
#define ROUNDS 4
#define BATCH 64
#define WARMUP 16

static const char zeros[20];

static struct device {
	const char *path;
	const char *reply;
	size_t reply_len;
	unsigned long exchanges;
	double seconds;
} devices[] = {
	{ "/dev/lurva", "Hello, you sent 99", 18, 0, 0 },
	{ "/dev/zero", zeros, sizeof(zeros), 0, 0 },
};

static double now(void)
{
	struct timespec ts;

	clock_gettime(CLOCK_MONOTONIC, &ts);
	return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* One exchange as device_client makes it; 0 if it gave the reply. */
static int exchange(const struct device *d)
{
	static const unsigned char byte = 99;
	char buf[20];
	ssize_t n;
	int fd = open(d->path, O_RDWR);

	if (fd < 0) {
		fprintf(stderr, "%s: open: %s\n", d->path, strerror(errno));
		return -1;
	}
	if (write(fd, &byte, 1) != 1) {
		fprintf(stderr, "%s: write: %s\n", d->path, strerror(errno));
		close(fd);
		return -1;
	}
	n = read(fd, buf, sizeof(buf));
	if (n < 0) {
		fprintf(stderr, "%s: read: %s\n", d->path, strerror(errno));
		close(fd);
		return -1;
	}
	if (close(fd) != 0) {
		fprintf(stderr, "%s: close: %s\n", d->path, strerror(errno));
		return -1;
	}
	if ((size_t)n != d->reply_len || memcmp(buf, d->reply, d->reply_len)) {
		fprintf(stderr, "%s: read %zd bytes \"%.*s\", want %zu\n",
			d->path, n, (int)n, buf, d->reply_len);
		return -1;
	}
	return 0;
}

/* Exchanges in batches until @budget seconds have passed. */
static int run(struct device *d, double budget)
{
	double start = now(), elapsed;
	int i;

	do {
		for (i = 0; i < BATCH; i++)
			if (exchange(d))
				return -1;
		d->exchanges += BATCH;
		elapsed = now() - start;
	} while (elapsed < budget);
	d->seconds += elapsed;
	return 0;
}

int main(int argc, char **argv)
{
	const size_t count = sizeof(devices) / sizeof(devices[0]);
	double seconds = 1.5;
	char *end;
	size_t i;
	int r;

	if (argc > 2) {
		fprintf(stderr, "usage: %s [SECONDS]\n", argv[0]);
		return 2;
	}
	if (argc == 2) {
		seconds = strtod(argv[1], &end);
		if (end == argv[1] || *end || !(seconds > 0 && seconds <= 60)) {
			fprintf(stderr, "%s: SECONDS must be in (0, 60]\n",
				argv[0]);
			return 2;
		}
	}

	/* First opens fault in code and data; keep them out of the timing. */
	for (i = 0; i < count; i++)
		for (r = 0; r < WARMUP; r++)
			if (exchange(&devices[i]))
				return 1;
	for (r = 0; r < ROUNDS; r++)
		for (i = 0; i < count; i++)
			if (run(&devices[r % 2 ? count - 1 - i : i],
				seconds / ROUNDS))
				return 1;

	for (i = 0; i < count; i++)
		printf("bench %s %lu %.3f %.0f\n", devices[i].path,
		       devices[i].exchanges, devices[i].seconds,
		       (double)devices[i].exchanges / devices[i].seconds);
	return 0;
}
