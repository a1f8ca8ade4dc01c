#include "app/AboutDialog.h"

#include "app/Resource.h"

AboutDialog::AboutDialog() : CDialog(IDD_ABOUTBOX) {}
