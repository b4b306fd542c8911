#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

static int f;
uint8_t a = 99;
uint8_t b[20];

int main()
{
	f = open("/dev/lurva", O_RDWR);
	if (f < 0) {
		puts("Failed to open /dev/lurva");
		return 1;
	}
	printf("Writing a value %d to lurva\n", a);
	/*
	 * Results are not examined: a failed read leaves b all zeros, an empty
	 * reply. Named, because glibc marks read and write warn_unused_result
	 * and a cast to void does not quiet that.
	 */
	[[maybe_unused]] ssize_t sent = write(f, &a, 1);
	[[maybe_unused]] ssize_t got = read(f, b, sizeof(b));
	/* A full reply has no zero byte: never print past the end of b. */
	printf("String read from lurva = %.*s\n", (int)sizeof(b),
	       reinterpret_cast<const char *>(b));
	close(f);
	return 0;
}
