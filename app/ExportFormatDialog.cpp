#include "app/ExportFormatDialog.h"

#include "app/Resource.h"
#include "framework/CDataExchange.h"

ExportFormatDialog::ExportFormatDialog(CWnd* parent) : CDialog(IDD_FORMAT, parent) {}

void ExportFormatDialog::DoDataExchange(CDataExchange* dx)
{
    DDX_Radio(dx, IDC_FIXED, Layout);
    DDX_Text(dx, IDC_OTHER_CHAR, OtherCharacter);
    DDV_MaxChars(dx, OtherCharacter, 1);
}

void ExportFormatDialog::OnOK()
{
    // A refused character has been reported already; the dialog stays open.
    if (!UpdateData(TRUE))
        return;
    switch (static_cast<ExportFormat>(Layout)) {
    case ExportFormat::TabSeparated:   Separator = "\t"; break;
    case ExportFormat::CommaSeparated: Separator = ","; break;
    case ExportFormat::OtherCharacter: Separator = OtherCharacter; break;
    default:                           Separator.Empty(); break;
    }
    CDialog::OnOK();
}
