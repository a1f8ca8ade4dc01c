#pragma once

#include "framework/CString.h"
#include "framework/Win32.h"

#include <string>

class CWnd;

// The system's file-open or file-save dialog.
class CFileDialog {
public:
    // filter: descriptions and patterns, each ended by '|', the list by a
    // second '|': "Text (*.txt)|*.txt||". The default extension, with or
    // without its leading period, is added to a name typed without one.
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr,
                const char* fileName = nullptr, DWORD flags = 0, const char* filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK or IDCANCEL; the dialog is owned by the parent or else by the
    // application's main window.
    INT_PTR DoModal();

    CString GetPathName() const { return CString(m_file.c_str()); }
    // The chosen file's name and extension, without its folder.
    CString GetFileName() const;

    OPENFILENAMEA m_ofn {};

private:
    BOOL m_open;
    CWnd* m_parent;
    std::string m_file;
    std::string m_filter;
    std::string m_defaultExtension;
};
