// Small helpers for building and driving the dialog's controls, and the
// page frames that hold them.
#pragma once

#include "platform/win32_api.h"

#include <string>

#include "platform/twips.h"

namespace vl {

RECT ToPixels(const TwipsScale& twips, const TwipsRect& r);

// Creates a child control at its twips geometry with the dialog's font.
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, const TwipsRect& at, int id,
                   HFONT font, const TwipsScale& twips, DWORD exStyle = 0);

void MoveControl(HWND control, const TwipsScale& twips, const TwipsRect& at);

// Places every control of the form made or moved by the two above again at
// this scale; those that had the old dialog font get the new one.
void LayOutAgain(HWND form, const TwipsScale& twips, HFONT oldFont, HFONT newFont);

// Receives what a page frame's controls report.
class PageHandler {
public:
    virtual ~PageHandler() = default;
    virtual void OnCommand(int id, int code, HWND control) = 0;
    virtual LRESULT OnNotify(NMHDR* header) = 0;
    // The frame window's messages, handed on to the two above.
    LRESULT FrameMessage(HWND frame, UINT msg, WPARAM wp, LPARAM lp);
};

// A borderless container for one page; its controls' notifications go to
// the page's handler.
HWND CreatePageFrame(HWND form, PageHandler* handler, const TwipsScale& twips, const TwipsRect& at);

std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& text);
void SetControlText(HWND control, const wchar_t* text);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);

int ListBoxAddString(HWND list, const std::string& text);  // returns the position the list gave it
std::string ListBoxText(HWND list, int index);

}  // namespace vl
