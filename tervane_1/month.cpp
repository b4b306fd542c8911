#include "month.h"

#include <cstdio>

/* Entry 0 is a placeholder: the table is indexed by month number. */
const char *const month_name[13] = {
	nullptr, "January", "February",  "March",   "April",    "May",      "June",
	"July",  "August",  "September", "October", "November", "December",
};

/* counts[d] is how many months seen so far have d days. */
int counts[32];

int num_days_in_month(int month, int year)
{
	int ndays;

	switch (month) {
	case JAN:
	case MAR:
	case MAY:
	case JUL:
	case AUG:
	case OCT:
	case DEC:
		ndays = 31;
		break;
	case APR:
	case JUN:
	case SEP:
	case NOV:
		ndays = 30;
		break;
	case FEB:
		/* Gregorian rule; the cheap test on the low bits decides most years. */
		if ((year & 3) != 0)
			ndays = 28;
		else if (year % 100 != 0)
			ndays = 29;
		else
			ndays = (year % 400 == 0) ? 29 : 28;
		break;
	default:
		/* Not a month: no days, which still indexes counts safely. */
		ndays = 0;
		break;
	}
	return ndays;
}

int main()
{
	puts("Tervane Example #1 for ARM Linux.");
	for (int m = JAN; m <= DEC; m++) {
		int y = 2014;
		int n = num_days_in_month(m, y);

		counts[n]++;
		printf("%s %d has %d days\n", month_name[m], y, n);
	}
	return 0;
}
