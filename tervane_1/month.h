#ifndef TERVANE_MONTH_H
#define TERVANE_MONTH_H

/* Months count from 1 so that a month number indexes month_name directly. */
enum {
	JAN = 1,
	FEB = 2,
	MAR = 3,
	APR = 4,
	MAY = 5,
	JUN = 6,
	JUL = 7,
	AUG = 8,
	SEP = 9,
	OCT = 10,
	NOV = 11,
	DEC = 12
};

extern const char *const month_name[13];
extern int counts[32];

int num_days_in_month(int month, int year);

#endif
