// Charts of Word documents and presentations (see ofx_chart.h).
#include "ofx_chart.h"

#include <new>

#include "chart_text.h"
#include "ofx_package.h"

int ofx_chart_text(void* source, const char* id, std::string* lines) {
    const ofx_chart_source* s = static_cast<const ofx_chart_source*>(source);
    lines->clear();
    if (!s || !s->pkg || !s->part) return 0;
    try {
        for (const ofx_relationship& r : s->pkg->relationships(*s->part)) {
            if (r.id != id) continue;
            chart_text chart;
            int rc = s->pkg->with_member(r.target, [&](const char* xml, size_t size) {
                return chart_read_part(xml, size, nullptr, chart);
            });
            if (rc == -2) return -2;
            if (rc != 0) return 0;  // a missing chart part shows nothing
            *lines = chart_lines_text(chart);
            return 0;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}
