#include "dialog/position_page_win32.h"

namespace vl {
namespace {

enum ControlId : int { kLabel = 400, kArrange = 401, kHorizontal = 402, kVertical = 403, kBlink = 404, kEnlarge = 405 };

}  // namespace

void PositionPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 450, kPageWidth, kPageHeight});
    label_ = CreateControl(frame_, "STATIC",
                           "Drag-and-drop pointer to set up on-screen postion  where notification would be displayed.",
                           WS_VISIBLE | SS_LEFT, {540, 3105, 3615, 510}, kLabel, font, t);
    arrange_ = CreateControl(frame_, "BUTTON", "Arrange icons ", WS_VISIBLE | BS_GROUPBOX, {540, 3555, 3660, 690},
                             kArrange, font, t);
    // The options lie inside Frame7 on the form; as siblings placed over the
    // group box they keep their notifications on this page.
    optHor_ = CreateControl(frame_, "BUTTON", "Horizontally", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
                            {540 + 135, 3555 + 315, 1600, 255}, kHorizontal, font, t);
    optVer_ = CreateControl(frame_, "BUTTON", "Vertically", WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON,
                            {540 + 1890, 3555 + 315, 1600, 255}, kVertical, font, t);
    chkBlink_ = CreateControl(frame_, "BUTTON", "Blinking", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
                              {675, 4320, 1500, 255}, kBlink, font, t);
    chkEnlarge_ = CreateControl(frame_, "BUTTON", "Enlarged Icons", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                {2430, 4320, 1800, 255}, kEnlarge, font, t);
    ::SetWindowPos(arrange_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PositionPage::LoadOptions(const RuntimeState& state) {
    SetChecked(chkBlink_, false);
    SetChecked(chkBlink_, state.BlinkIcons);
    if (state.EnlargeIcons) {
        SetChecked(chkEnlarge_, true);
        chkEnlarge_Click();  // checking the box runs its handler
    }
    SetChecked(optHor_, state.IconOrientation == 1);
    SetChecked(optVer_, state.IconOrientation == 2);
}

void PositionPage::ReadChoices(DialogChoices& choices) const {
    choices.blinkChecked = IsChecked(chkBlink_);
    choices.enlargeChecked = IsChecked(chkEnlarge_);
    choices.horizontal = IsChecked(optHor_);
}

void PositionPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case kBlink: chkBlink_Click(); break;
        case kEnlarge: chkEnlarge_Click(); break;
        case kHorizontal: optHor_Click(); break;
        case kVertical: optVer_Click(); break;
        default: break;
    }
}

void PositionPage::chkBlink_Click() { host_.SetDirty(true); }

void PositionPage::chkEnlarge_Click() { host_.SetDirty(true); }

void PositionPage::optHor_Click() { host_.SetDirty(true); }

void PositionPage::optVer_Click() { host_.SetDirty(true); }

}  // namespace vl
