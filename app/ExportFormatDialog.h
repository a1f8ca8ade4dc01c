#pragma once

#include "export/ExportFormat.h"
#include "framework/CDialog.h"

// The "Formato" dialog: the layout of one export and, for the fourth
// layout, the character between the fields. A fresh dialog per export.
class ExportFormatDialog : public CDialog {
public:
    explicit ExportFormatDialog(CWnd* parent = nullptr);

    int Layout = static_cast<int>(ExportFormat::FixedLength); // exchanged with the radio group
    CString OtherCharacter;    // the character field: at most one character
    CString Separator;         // between two fields; set when the dialog ends with OK

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
};
