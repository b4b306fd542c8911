// Built like the programs: a local array makes the stack protector guard
// this frame, and a copy of run-time length into it is fortified. A copy
// that fits is printed; one that does not must be stopped by the C library
// before it lands, on every release's libc the programs are run against.
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
	char buf[8];
	const char *arg = argc > 1 ? argv[1] : "";

	memcpy(buf, arg, strlen(arg) + 1);
	printf("copied %s\n", buf);
	return 0;
}
