// Two folders of documents: the documents found under each (recursively, by
// their extension), paired by their path below their folder, and the pairs
// that a rename or a move parted found again by what the documents hold.
//
// What is taken: every file whose name ends in .xls, .xlsx, .xlsm, .docx,
// .docm, .pptx or .pptm (in any letter case), except the owner files an
// office program keeps beside a document it has open ("~$budget.xlsx").
// Every other file is left out.  A symbolic link (or junction) to a file
// inside the same folder tree is taken as the document it names, at the
// link's place; a link to a folder, or to anything outside the tree, is not
// followed (the tree is walked as it lies, so no link leads the walk out of
// it or round in a loop) and is listed among the links left out.
#ifndef VERGLE_FOLDER_TREE_H
#define VERGLE_FOLDER_TREE_H

#include <cstdint>
#include <string>
#include <vector>

// True when a file name is one of a document the tree takes (see above).
bool is_document_name(const std::string& name);

// The family of a document by its name's extension: 1 workbooks, 2 Word
// documents, 3 presentations, 0 none.
int document_name_family(const std::string& name);

// A document of a tree.
struct tree_document {
    std::string rel;   // its path below the tree's folder (platform separators)
    std::string path;  // the tree's folder joined with rel
    int family = 0;    // by its extension (document_name_family)
    // What the run fills in: the folder its text went to; whether it was
    // refused and the messages that said why; for a document without a
    // counterpart at its path, a digest of its text (0: no text) and a
    // sketch of its lines, to find it again under another name.
    std::string folder;
    bool refused = false;
    std::string refusal;
    uint64_t digest = 0;
    std::vector<uint32_t> sketch;
};

struct folder_tree {
    std::string root;                     // the folder as given
    std::vector<tree_document> documents; // sorted by rel, folder by folder
    std::vector<std::string> links_left_out;  // rel of each link not followed
    std::vector<std::string> unreadable;      // rel of each folder that cannot be listed
};

// Walks the folder at root.  0; -1 when root itself cannot be listed.
// Folders named "Vergle-..." that are runs of this user's own under
// temp_folder (when the tree holds it) are passed over.
int scan_tree(const std::string& root, folder_tree& out, const std::string& temp_folder = "");

// Two documents, one of each tree (-1 where a side has none), in the order
// of their paths.  renamed: paired by what they hold, not by their path.
struct tree_pair {
    long a = -1, b = -1;
    bool renamed = false;
};

// The documents paired by their paths (compared without regard to letter
// case on Windows), in order: a document of one tree alone is a pair with
// one side.
std::vector<tree_pair> pair_by_path(const folder_tree& a, const folder_tree& b);

// Pairs the documents of one side left alone with those of the other side
// left alone, by what they hold: first those with the same text (the same
// file name preferred), then those clearly alike (most of their lines the
// same, each the other's best match), documents of one family only.
// Refused documents and documents without text are never paired so.  The
// list stays in the order of the paths (a renamed pair where its second
// document stands).
void pair_renamed(const folder_tree& a, const folder_tree& b, std::vector<tree_pair>& pairs);

// Reads the text files of a written document's folder and sets the digest
// of its text (file names and contents; 0 when it holds no text) and the
// sketch of its lines.  False when a file cannot be read.
bool sketch_text(const std::string& folder, uint64_t& digest, std::vector<uint32_t>& sketch);

// How alike two sketches are, from 0 to 1 (an estimate of the share of
// distinct lines the two texts have in common).
double sketch_similarity(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// Creates the folders of rel's parents below base (base itself exists).
// 0, or -1.
int make_parent_folders(const std::string& base, const std::string& rel);

#endif
