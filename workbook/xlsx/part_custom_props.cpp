// The custom document properties part: recognised, nothing is kept (the
// properties concern a writer of the book).
#include "xlsx_scan.h"

int custom_props_event(xml_scan&, int, int, std::string_view) { return 0; }
