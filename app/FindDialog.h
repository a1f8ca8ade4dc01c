// FindDialog: asks for the text to find among the records.
#pragma once

#include "framework/CDialog.h"

#include <string>

// The "Buscar" box. Its text is Unicode, so that a text in any script can be
// typed or pasted; an empty text is refused and the box stays open.
class FindDialog : public CDialog {
public:
    explicit FindDialog(std::wstring text, CWnd* parent = nullptr);

    std::wstring Text; // shown when the box opens; the text to find once it ends with OK

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};
