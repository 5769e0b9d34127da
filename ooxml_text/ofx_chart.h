// Charts of Word documents and presentations: the part that a walked part
// names by relationship id, read into chart text (charts/).  Not part of the
// dump's interface.
#ifndef OFX_CHART_H
#define OFX_CHART_H

#include <string>

struct ofx_package;

// The part being walked and its package.
struct ofx_chart_source {
    const ofx_package* pkg;
    const std::string* part;
};

// OFX_CONTEXT::chart_text for a source above: the lines of the chart part
// that the relationship id of the source's part names (nothing when it names
// none or the part is missing).  Numbers are shown through the chart's
// cached format by charts/'s own formatter: the workbook library's engine
// is not below this dump.  0, or -2 memory.
int ofx_chart_text(void* source, const char* id, std::string* lines);

#endif
