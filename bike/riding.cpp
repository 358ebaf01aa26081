// Riding control: the calls the bike step makes live beside their topics (steering.cpp,
// balance.cpp, falls.cpp); here the table of extra lying-down ticks that the server may set.
#include "bike/riding.h"

int fall_delay_table[16];
