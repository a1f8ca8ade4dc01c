#pragma once

// Message tables: each class keeps a static table of typed entries, chained
// to its base class's table. An entry is built by one of the On:: functions,
// which check the handler's signature against the message at compile time:
//
//     static const MessageEntry entries[] = {
//         On::Size<&MainDialog::OnSize>(),
//         On::Clicked<IDC_OPEN, &MainDialog::OnOpen>(),
//     };
//     static const MessageMap map(CDialog::GetThisMessageMap(), entries);

#include "framework/CDC.h"
#include "framework/Win32.h"

#include <cstddef>
#include <type_traits>

class CCmdTarget;

// Calls the handler with the message's parameters unpacked; returns its result.
using MessageThunk = LRESULT (*)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

struct MessageEntry {
    UINT message; // for WM_COMMAND and WM_NOTIFY, code and id pick the control
    UINT code;
    UINT id;
    MessageThunk thunk;
};

class MessageMap {
public:
    explicit MessageMap(const MessageMap* base) : m_base(base) {}
    template <size_t N>
    MessageMap(const MessageMap* base, const MessageEntry (&entries)[N])
        : m_base(base), m_entries(entries), m_count(N)
    {
    }

    // The first entry for the message in this table or, failing that, its bases'.
    const MessageEntry* Find(UINT message, UINT code = 0, UINT id = 0) const;

private:
    const MessageMap* m_base;
    const MessageEntry* m_entries = nullptr;
    size_t m_count = 0;
};

// The colour message that a parent reflects to the child control it is for:
// wParam is the device context, lParam the CTLCOLOR_ kind.
constexpr UINT kReflectedCtlColor = WM_APP + 0x3F00;

namespace detail {

template <class>
struct MemberTraits;
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...)> {
    using Class = C;
    using Signature = R(A...);
};

template <auto Handler>
using ClassOf = typename MemberTraits<decltype(Handler)>::Class;

template <auto Handler, class Signature>
constexpr bool HasSignature = std::is_same_v<typename MemberTraits<decltype(Handler)>::Signature, Signature>;

template <auto Handler>
decltype(auto) Target(CCmdTarget& target)
{
    static_assert(std::is_base_of_v<CCmdTarget, ClassOf<Handler>>);
    return static_cast<ClassOf<Handler>&>(target);
}

} // namespace detail

namespace On {

// void OnPaint()
template <auto Handler>
MessageEntry Paint()
{
    static_assert(detail::HasSignature<Handler, void()>, "the handler does not fit the message");
    return { WM_PAINT, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)();
                return 0;
            } };
}

// void OnSize(UINT type, int cx, int cy)
template <auto Handler>
MessageEntry Size()
{
    static_assert(detail::HasSignature<Handler, void(UINT, int, int)>, "the handler does not fit the message");
    return { WM_SIZE, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)(static_cast<UINT>(w), LOWORD(l), HIWORD(l));
                return 0;
            } };
}

// void OnSysCommand(UINT id, LPARAM lParam)
template <auto Handler>
MessageEntry SysCommand()
{
    static_assert(detail::HasSignature<Handler, void(UINT, LPARAM)>, "the handler does not fit the message");
    return { WM_SYSCOMMAND, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)(static_cast<UINT>(w), l);
                return 0;
            } };
}

// HCURSOR OnQueryDragIcon()
template <auto Handler>
MessageEntry QueryDragIcon()
{
    static_assert(detail::HasSignature<Handler, HCURSOR()>, "the handler does not fit the message");
    return { WM_QUERYDRAGICON, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                return reinterpret_cast<LRESULT>((detail::Target<Handler>(t).*Handler)());
            } };
}

// void OnMouseMove(UINT flags, POINT point)
template <auto Handler>
MessageEntry MouseMove()
{
    static_assert(detail::HasSignature<Handler, void(UINT, POINT)>, "the handler does not fit the message");
    return { WM_MOUSEMOVE, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                const POINT point = { static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l)) };
                (detail::Target<Handler>(t).*Handler)(static_cast<UINT>(w), point);
                return 0;
            } };
}

// void OnKillFocus(HWND newFocus)
template <auto Handler>
MessageEntry KillFocus()
{
    static_assert(detail::HasSignature<Handler, void(HWND)>, "the handler does not fit the message");
    return { WM_KILLFOCUS, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)(reinterpret_cast<HWND>(w));
                return 0;
            } };
}

// void OnActivate(UINT state, HWND other, BOOL minimized)
template <auto Handler>
MessageEntry Activate()
{
    static_assert(detail::HasSignature<Handler, void(UINT, HWND, BOOL)>, "the handler does not fit the message");
    return { WM_ACTIVATE, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)(LOWORD(w), reinterpret_cast<HWND>(l), HIWORD(w) != 0);
                return 0;
            } };
}

// void OnCancelMode()
template <auto Handler>
MessageEntry CancelMode()
{
    static_assert(detail::HasSignature<Handler, void()>, "the handler does not fit the message");
    return { WM_CANCELMODE, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)();
                return 0;
            } };
}

// UINT OnGetDlgCode()
template <auto Handler>
MessageEntry GetDlgCode()
{
    static_assert(detail::HasSignature<Handler, UINT()>, "the handler does not fit the message");
    return { WM_GETDLGCODE, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                return static_cast<LRESULT>((detail::Target<Handler>(t).*Handler)());
            } };
}

// HBRUSH CtlColor(CDC* dc, UINT ctlColor): the colour message the parent
// received for this control, reflected back to it.
template <auto Handler>
MessageEntry CtlColorReflect()
{
    static_assert(detail::HasSignature<Handler, HBRUSH(CDC*, UINT)>, "the handler does not fit the message");
    return { kReflectedCtlColor, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                CDC dc(reinterpret_cast<HDC>(w));
                return reinterpret_cast<LRESULT>((detail::Target<Handler>(t).*Handler)(&dc, static_cast<UINT>(l)));
            } };
}

// LRESULT OnMessage(WPARAM, LPARAM), for messages without unpacking.
template <UINT Msg, auto Handler>
MessageEntry Message()
{
    static_assert(detail::HasSignature<Handler, LRESULT(WPARAM, LPARAM)>, "the handler does not fit the message");
    return { Msg, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                return (detail::Target<Handler>(t).*Handler)(w, l);
            } };
}

// void OnCommand(): a menu command, an accelerator, or a button click.
template <UINT Id, auto Handler>
MessageEntry Command()
{
    static_assert(detail::HasSignature<Handler, void()>, "the handler does not fit the message");
    return { WM_COMMAND, BN_CLICKED, Id, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                (detail::Target<Handler>(t).*Handler)();
                return 0;
            } };
}

template <UINT Id, auto Handler>
MessageEntry Clicked()
{
    return Command<Id, Handler>();
}

// void OnNotify(NMHDR* header, LRESULT* result): WM_NOTIFY from control Id.
template <UINT Id, UINT Code, auto Handler>
MessageEntry Notify()
{
    static_assert(detail::HasSignature<Handler, void(NMHDR*, LRESULT*)>, "the handler does not fit the message");
    return { WM_NOTIFY, Code, Id, [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                LRESULT result = 0;
                (detail::Target<Handler>(t).*Handler)(reinterpret_cast<NMHDR*>(l), &result);
                return result;
            } };
}

} // namespace On
