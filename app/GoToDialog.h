// GoToDialog: asks for the number of the record to select.
#pragma once

#include "framework/CDialog.h"

#include <cstdint>

// The "Ir al registro" box: a record number from 1 to the table's count.
// A number outside that range, or none, is refused with a message and the
// box stays open.
class GoToDialog : public CDialog {
public:
    GoToDialog(std::uint32_t recordCount, std::uint32_t current, CWnd* parent = nullptr);

    std::uint32_t Record = 0; // the chosen record, once the box ends with OK

    // The record a typed text names: digits only, blanks around them
    // allowed, from 1 to count; 0 for anything else.
    static std::uint32_t Parse(const CString& text, std::uint32_t count);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::uint32_t m_count;
};
