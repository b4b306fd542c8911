#include "month.h"

#include <gtest/gtest.h>

int month_main();

TEST(NumDaysInMonth, MonthsOtherThanFebruaryIgnoreTheYear)
{
	static const struct {
		int month;
		int days;
	} months[] = {
		{JAN, 31}, {MAR, 31}, {APR, 30}, {MAY, 31}, {JUN, 30}, {JUL, 31},
		{AUG, 31}, {SEP, 30}, {OCT, 31}, {NOV, 30}, {DEC, 31},
	};
	static const int years[] = {2014, 2016, 1900, 2000, 0, -4, -100, 1};

	for (const auto &m : months)
		for (int year : years)
			EXPECT_EQ(num_days_in_month(m.month, year), m.days)
				<< "month " << m.month << " of " << year;
}

TEST(NumDaysInMonth, FebruaryFollowsTheGregorianRule)
{
	static const struct {
		int year;
		int days;
	} years[] = {
		{2014, 28}, {2013, 28}, {2015, 28}, /* not divisible by 4 */
		{2016, 29}, {2012, 29}, {4, 29},    /* by 4, not by 100 */
		{1900, 28}, {2100, 28}, {1800, 28}, /* by 100, not by 400 */
		{2000, 29}, {1600, 29}, {0, 29},    /* by 400 */
		{-1, 28},   {-3, 28},   {-4, 29},   {-100, 28}, {-400, 29},
	};

	for (const auto &y : years)
		EXPECT_EQ(num_days_in_month(FEB, y.year), y.days) << "year " << y.year;
}

TEST(NumDaysInMonth, NumbersOutsideTheYearHaveNoDays)
{
	for (int month : {0, 13, -1, 32})
		EXPECT_EQ(num_days_in_month(month, 2014), 0) << "month " << month;
}

TEST(MonthProgram, OneRunTalliesTheYear)
{
	testing::internal::CaptureStdout();
	EXPECT_EQ(month_main(), 0);
	testing::internal::GetCapturedStdout();

	int total = 0;
	for (int d = 0; d < 32; d++) {
		int expected = d == 28 ? 1 : d == 30 ? 4 : d == 31 ? 7 : 0;
		EXPECT_EQ(counts[d], expected) << "day count " << d;
		total += counts[d];
	}
	EXPECT_EQ(total, 12);
}
