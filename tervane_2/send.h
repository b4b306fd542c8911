#ifndef TERVANE_SEND_H
#define TERVANE_SEND_H

void send_init(int *p);
int send(int value);

#endif
