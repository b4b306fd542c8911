#include "fill.h"
#include "send.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include <gtest/gtest.h>

/* Death suites run before all others, so the send module has no target yet. */
TEST(SendDeathTest, SendBeforeAnyInitIsReportedNotAWildStore)
{
	EXPECT_DEATH(send(42), "send\\.cpp:[0-9]+: .*send_store.*Assertion `send_target != 0' failed");
}

TEST(SendDeathTest, NullCellIsReported)
{
	EXPECT_DEATH(send_init(nullptr), "send\\.cpp:[0-9]+: .*send_init.*Assertion `p != 0' failed");
}

TEST(Send, InitZeroesTheCellAndSendStoresIntoIt)
{
	for (int before : {INT_MIN, -1, 0, 42, INT_MAX}) {
		int cell = before;

		send_init(&cell);
		EXPECT_EQ(cell, 0) << "cell held " << before;
		EXPECT_EQ(send(42), 1);
		EXPECT_EQ(cell, 42);
	}
}

TEST(Send, LaterInitRedirects)
{
	int first = 7;
	int second = 8;

	send_init(&first);
	send_init(&second);
	EXPECT_EQ(send(42), 1);
	EXPECT_EQ(first, 0);
	EXPECT_EQ(second, 42);
}

static const char *const vec[] = {"v0", "v1", "v2", "v3", nullptr};
static const char *const old[] = {"o0", "o1", "o2"};

static void set_slots(const char *const *from)
{
	for (int i = 0; i < 3; i++)
		fill_slots[i] = from[i];
}

TEST(Fill, CopiesTheLeadingEntriesAndKeepsTheRest)
{
	static const struct {
		int n;
		const char *slots[3];
	} cases[] = {
		{1, {"v0", "o1", "o2"}},
		{2, {"v0", "v1", "o2"}},
		{3, {"v0", "v1", "v2"}},
		{0, {"o0", "o1", "o2"}},
		{-1, {"o0", "o1", "o2"}},
		{INT_MIN, {"o0", "o1", "o2"}},
	};

	for (const auto &c : cases) {
		set_slots(old);
		fill(c.n, vec);
		for (int i = 0; i < 3; i++)
			EXPECT_STREQ(fill_slots[i], c.slots[i]) << "fill(" << c.n << ") slot " << i;
	}
}

TEST(Fill, CopiesPointersNotText)
{
	fill(3, vec);
	for (int i = 0; i < 3; i++)
		EXPECT_EQ(fill_slots[i], vec[i]);
}

/* Runs as the failed assertion aborts: shows the slots as fill left them. */
static void show_slots_on_abort(int)
{
	for (const char *slot : fill_slots)
		fprintf(stderr, " [%s]", slot);
	_exit(1);
}

TEST(FillDeathTest, MoreEntriesThanSlotsIsReportedAndChangesNoSlot)
{
	for (int n : {4, 100, INT_MAX})
		EXPECT_DEATH(
			{
				set_slots(old);
				signal(SIGABRT, show_slots_on_abort);
				fill(n, vec);
			},
			"fill\\.cpp:[0-9]+: .*fill.*Assertion `n <= 3' failed.* \\[o0\\] \\[o1\\] \\[o2\\]")
			<< n;
}
