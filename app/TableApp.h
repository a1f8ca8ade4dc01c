#pragma once

#include "framework/CWinApp.h"

// The application: prepares the look of the controls, runs the main dialog
// (on the table the command line names, if it names one) and ends when it
// closes.
class TableApp : public CWinApp {
public:
    BOOL InitInstance() override;

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }
};
