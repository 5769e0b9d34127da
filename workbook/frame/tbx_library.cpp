// Keeps the exported names of the file layer in the library: nothing inside
// the library calls orb_zip_on_memory, so without this reference the linker
// would leave it out of libtabx.
#include "tabx.h"

extern const void* const tbx_exported_file_layer[];
const void* const tbx_exported_file_layer[] = {
    reinterpret_cast<const void*>(&orb_file_type),
    reinterpret_cast<const void*>(&orb_zip_on_memory),
};
