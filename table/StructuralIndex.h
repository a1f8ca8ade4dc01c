#pragma once

#include "framework/CString.h"

#include <vector>

// The structural compound index of a Visual FoxPro table (.cdx, the table's
// name): the name and the expressions of each of its tags. Only its tag
// directory and tag headers are read, never the keys themselves.
class StructuralIndex {
public:
    struct Tag {
        CString Name;       // upper case, as the tag directory keeps it
        CString Expression; // the key expression, as written in FoxPro
        CString Filter;     // the FOR expression; empty without one
        bool Unique = false;    // FoxPro's UNIQUE: one entry per key value, no constraint
        bool Candidate = false; // a primary or candidate key
    };

    // Reads the tags of the .cdx beside the table at tablePath, in any letter
    // case. Raises CFileException naming the index when it is missing, cannot
    // be read or is damaged; then it holds no tags.
    void Open(const CString& tablePath);
    const std::vector<Tag>& GetTags() const { return m_tags; }
    const CString& GetPath() const { return m_path; }

private:
    CString m_path;
    std::vector<Tag> m_tags;
};
