// Stands in for the legacy reader while it is not built.
#include "tbx_readers.h"

int tbx_read_excel2003(XLS_BOOK*, const char*) { return TBX_NO_READER; }
