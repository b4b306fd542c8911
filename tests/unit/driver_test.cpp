/* The driver linked against recording doubles of the send and fill modules. */
#include "fill.h"
#include "send.h"

#include <gtest/gtest.h>

int driver_main();

namespace {

struct call {
	char fn; /* 'i' send_init, 's' send, 'f' fill */
	int arg;
	const void *ptr;
};

call calls[512];
int ncalls;

void record(char fn, int arg, const void *ptr)
{
	ASSERT_LT(ncalls, 512);
	calls[ncalls++] = call{fn, arg, ptr};
}

} // namespace

void send_init(int *p)
{
	record('i', 0, p);
}

int send(int value)
{
	record('s', value, nullptr);
	return 1;
}

void fill(int n, const char *const *vector)
{
	record('f', n, vector);
}

TEST(Driver, CallsTheModulesInItsFixedOrder)
{
	testing::internal::CaptureStdout();
	EXPECT_EQ(driver_main(), 0);
	EXPECT_EQ(testing::internal::GetCapturedStdout(),
		  "Tervane Example #2 for ARM Linux.\nCode execution completed successfully");

	call expected[512];
	int n = 0;
	for (int i = 0; i < 99; i++) {
		expected[n++] = call{'i', 0, nullptr};
		expected[n++] = call{'f', 1, nullptr};
	}
	expected[n++] = call{'f', 3, nullptr};
	for (int i = 0; i < 99; i++)
		expected[n++] = call{'f', 2, nullptr};
	expected[n++] = call{'s', 42, nullptr};

	ASSERT_EQ(ncalls, n);
	for (int i = 0; i < n; i++) {
		EXPECT_EQ(calls[i].fn, expected[i].fn) << "call " << i;
		EXPECT_EQ(calls[i].arg, expected[i].arg) << "call " << i;
	}

	/* One cell throughout, and one vector: "me", "a", "b", then the end. */
	const void *cell = calls[0].ptr;
	const auto *vector = static_cast<const char *const *>(calls[1].ptr);
	ASSERT_NE(cell, nullptr);
	ASSERT_NE(vector, nullptr);
	for (int i = 0; i < n; i++) {
		const void *same = calls[i].fn == 'i' ? cell : calls[i].fn == 'f' ? vector : nullptr;
		EXPECT_EQ(calls[i].ptr, same) << "call " << i;
	}
	static const char *const names[] = {"me", "a", "b"};
	for (int i = 0; i < 3; i++)
		EXPECT_STREQ(vector[i], names[i]);
	EXPECT_EQ(vector[3], nullptr);
}
