#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"

// OutputFile: the file an export writes, which replaces what its path names
// only once it is complete.

// An export's output. A regular file (or a path that names nothing yet) is
// written under a temporary name in the same folder and renamed over the
// path only by Commit, so that a failed export leaves the earlier file as it
// was and no temporary file behind; meanwhile the earlier file is held open
// for writing, so that one another program holds is refused at once, as it
// would be if it were written in place. Anything else (a device, a FIFO,
// standard output) cannot be replaced: it is written straight through, and
// a failure leaves in it what was written so far.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Abandons an output that was not committed.
    ~OutputFile();

    // Raises CFileException naming path when it cannot be written.
    void Open(const CString& path);
    // Standard output; name is what messages call it.
    void OpenStandardOutput(const CString& name);

    CFile& File() { return m_file; }
    const CString& GetPath() const { return m_path; }
    // Written straight through: what a failure leaves there stays.
    bool IsDirect() const { return m_direct; }

    // Closes the output and, for a regular file, puts it in its path's
    // place. Raises CFileException naming the path; the temporary file is
    // gone either way.
    void Commit();
    // Closes the output after a failure and removes the temporary file;
    // what the path names stays as it was.
    void Abandon() noexcept;
    // What a failure's message adds: for an output written straight
    // through, that it is incomplete; empty otherwise.
    CString IncompleteNote() const;

private:
    CFile m_file;
    CFile m_held;        // the file to replace, held against other writers meanwhile
    CString m_path;      // as messages name it
    CString m_target;    // the file the temporary one replaces
    CString m_temporary; // empty once committed or abandoned
    bool m_direct = true;
};
