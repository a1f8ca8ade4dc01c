#include "framework/CCmdTarget.h"

const MessageEntry* MessageMap::Find(UINT message, UINT code, UINT id) const
{
    for (const MessageMap* map = this; map; map = map->m_base)
        for (size_t i = 0; i < map->m_count; ++i) {
            const MessageEntry& entry = map->m_entries[i];
            if (entry.message == message && entry.code == code && entry.id == id)
                return &entry;
        }
    return nullptr;
}

const MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const MessageMap map(nullptr);
    return &map;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code)
{
    const MessageEntry* entry = GetMessageMap()->Find(WM_COMMAND, code, id);
    if (!entry)
        return false;
    entry->thunk(*this, 0, 0);
    return true;
}
