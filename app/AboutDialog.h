#pragma once

#include "framework/CDialog.h"

// The about box: the program's name, version and notices.
class AboutDialog : public CDialog {
public:
    AboutDialog();
};
