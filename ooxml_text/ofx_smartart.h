// The text of a SmartArt diagram, read from its data part (dgm:dataModel):
// the text of every node in the diagram's order, from the document point
// down the parent-of connections, siblings in their order.  Points that no
// connection reaches follow in the order of the point list.  Each paragraph
// of a node's text is a line; empty paragraphs give none.
#ifndef OFX_SMARTART_H
#define OFX_SMARTART_H

#include <cstddef>
#include <string>

// The lines (UTF-8, each ending "\n") of the data part of len bytes.
std::string ofx_smartart_text(const char* xml, size_t len);

#endif
