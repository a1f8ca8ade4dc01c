#include "framework/CFileDialog.h"

#include "framework/CWinApp.h"
#include "framework/CWnd.h"

#include <algorithm>

namespace {

// Room for the longest path the ANSI file functions take.
constexpr size_t kFileBuffer = MAX_PATH * 4;

} // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : m_open(openFileDialog), m_parent(parent)
{
    m_file.assign(kFileBuffer, '\0');
    if (fileName)
        m_file.replace(0, std::min(kFileBuffer - 1, std::char_traits<char>::length(fileName)), fileName);
    if (filter) {
        m_filter = filter;
        std::replace(m_filter.begin(), m_filter.end(), '|', '\0');
        m_filter += '\0';
    }
    if (defaultExtension) {
        // The system adds its own period: ".dbf" would give "name..dbf".
        m_defaultExtension = defaultExtension;
        if (!m_defaultExtension.empty() && m_defaultExtension[0] == '.')
            m_defaultExtension.erase(0, 1);
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_file.data();
    m_ofn.nMaxFile = static_cast<DWORD>(kFileBuffer);
    m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    if (!owner && AfxGetMainWnd())
        owner = AfxGetMainWnd()->GetSafeHwnd();
    m_ofn.hwndOwner = owner;
    const BOOL chosen = m_open ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    if (!chosen) {
        m_file[0] = '\0';
        return IDCANCEL;
    }
    return IDOK;
}

CString CFileDialog::GetFileName() const
{
    const std::string_view path = m_file.c_str();
    const size_t slash = path.find_last_of("\\/:");
    return CString(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
