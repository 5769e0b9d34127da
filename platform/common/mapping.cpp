// The bytes of a file mapping, alike on every system.
#include "common/mapping.h"

#include "platform.h"

const unsigned char* plat_mapped_data(const plat_mapping* m) { return m->data; }
size_t plat_mapped_size(const plat_mapping* m) { return m->size; }
