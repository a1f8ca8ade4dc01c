// RecordViewDialog: one record's fields, each name beside its whole value.
#pragma once

#include "framework/CDialog.h"

#include <string>
#include <vector>

// The "Registro N de M" box: a line for each field, its name and its whole
// value in a read-only edit box, so that any part of a value can be
// selected and copied. Values of several lines (memo texts) get a box of
// several lines with its own scroll bar. The box can be resized; when the
// fields do not fit, it scrolls, and a field that takes the focus is
// scrolled into view.
class RecordViewDialog : public CDialog {
public:
    // The value boxes' control ids, in field order.
    static constexpr int kFirstValueId = 2000;

    struct Field {
        std::wstring Name;
        std::wstring Value;
    };
    RecordViewDialog(std::wstring title, std::vector<Field> fields, CWnd* parent = nullptr);

    // The text with each line break as CR LF, as an edit box shows it.
    static std::wstring WithLineBreaks(std::wstring_view text);

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }
    bool OnCmdMsg(UINT id, UINT code) override;

protected:
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnVScroll(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);

private:
    struct Line {
        HWND Label = nullptr;
        HWND Value = nullptr;
        int Top = 0;    // in the content, in pixels
        int Height = 0; // of the value box
    };
    void CreateLines();
    // Places every line for the scroll position and the client width.
    void Layout();
    void ScrollTo(int position);
    int ClientHeight() const;
    int DialogUnitsY(int units) const;
    int DialogUnitsX(int units) const;

    std::wstring m_title;
    std::vector<Field> m_fields;
    std::vector<Line> m_lines;
    int m_contentHeight = 0;
    int m_labelWidth = 0;
    int m_scroll = 0;
    bool m_ready = false;
};
