#ifndef TERVANE_FILL_H
#define TERVANE_FILL_H

/* Copies of the text pointers last given to fill; the text is not copied. */
extern const char *fill_slots[3];

void fill(int n, const char *const *vector);

#endif
