/* SPDX-License-Identifier: GPL-2.0 */
/*
 * What the board's probes of /dev/lurva share: the device's facts, the
 * greeting the module was loaded with, and one way to report.  A check
 * prints "ok   NAME" or "FAIL NAME: WHY", as the board's shell checks do,
 * and probe_done() the closing "N passed, N failed".  Each line is
 * flushed, so a probe the kernel kills still shows how far it got.
 */
#ifndef LURVA_PROBE_H
#define LURVA_PROBE_H

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define DEV "/dev/lurva"
#define HELLO "Hello from lurva"
/* The module keeps at most this much of the greeting. */
#define GREETING_KEPT 123
#define REPLY_MAX 256

static int probe_passed, probe_failed;

static inline void __attribute__((format(printf, 3, 0)))
vreport(int good, const char *name, const char *fmt, va_list ap)
{
	if (good) {
		probe_passed++;
		printf("ok   %s\n", name);
	} else {
		probe_failed++;
		printf("FAIL %s: ", name);
		vprintf(fmt, ap);
		putchar('\n');
	}
	fflush(stdout);
}

/* One check: @good passes; a failure says why, formatted from @fmt. */
static inline void __attribute__((format(printf, 3, 4)))
report(int good, const char *name, const char *fmt, ...)
{
	va_list ap;

	va_start(ap, fmt);
	vreport(good, name, fmt, ap);
	va_end(ap);
}

/* Prints the tally; the probe's exit status. */
static inline int probe_done(void)
{
	printf("%d passed, %d failed\n", probe_passed, probe_failed);
	return probe_failed ? 1 : 0;
}

/*
 * The words before the byte in a reply: the module's greeting parameter
 * when it is loaded, so the probes hold for any greeting.
 */
static inline void load_greeting(char *greeting, size_t size)
{
	FILE *f = fopen("/sys/module/lurva/parameters/greeting", "r");

	if (!f)
		return;
	if (fgets(greeting, (int)size, f))
		greeting[strcspn(greeting, "\n")] = '\0';
	fclose(f);
}

#endif
