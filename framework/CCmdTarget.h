#pragma once

#include "framework/CObject.h"
#include "framework/MessageMap.h"

// An object that receives messages and commands through its message table.
class CCmdTarget : public CObject {
public:
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

    // Runs the handler of a command (WM_COMMAND id and notification code);
    // false when this target has none.
    virtual bool OnCmdMsg(UINT id, UINT code);
};
