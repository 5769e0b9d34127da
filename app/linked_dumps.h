// The dumps built into this program, by document family.
#ifndef VERGLE_LINKED_DUMPS_H
#define VERGLE_LINKED_DUMPS_H

#include "comparison.h"

void register_linked_dumps(dump_table& t);

#endif
