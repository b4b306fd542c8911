#include "fill.h"
#include "send.h"

#include <cstdio>

static const char *name_vector[] = {"me", "a", "b", nullptr};

int main()
{
	/*
	 * Static, though only main uses it: the stack protector would guard an
	 * automatic whose address is taken, and on armhf its guard value lives
	 * in the dynamic loader, which would then join libc as a needed library.
	 */
	static int cell;
	int i;

	puts("Tervane Example #2 for ARM Linux.");
	for (i = 0; i < 99; i++) {
		send_init(&cell);
		fill(1, name_vector);
	}
	fill(3, name_vector);
	for (i = 0; i < 99; i++)
		fill(2, name_vector);
	send(42);
	/* No newline: the text is flushed when the process exits. */
	printf("Code execution completed successfully");
	return 0;
}
