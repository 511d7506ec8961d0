// The "Position" page: where notifications appear, and how.
#pragma once

#include "platform/win32_api.h"

#include <optional>

#include "dialog/controls_win32.h"
#include "dialog/dialog_host_win32.h"
#include "dialog/monitor_choice_win32.h"
#include "dialog/pointer_drag.h"
#include "dialog/position_map.h"
#include "settings/save_all.h"
#include "platform/win32_handles.h"

namespace vl {

class PositionPage final : public PageHandler, private DragScreen {
public:
    explicit PositionPage(DialogHost& host) : host_(host) {}
    ~PositionPage() override;
    PositionPage(const PositionPage&) = delete;
    PositionPage& operator=(const PositionPage&) = delete;

    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }

    // Form load: the pointer's size, the options from the loaded settings,
    // then the pointer placed from the stored position.
    void LoadOptions(const RuntimeState& state);
    void ReadChoices(DialogChoices& choices) const;
    // "Try" needs a saver chosen in the dialog.
    void EnableTry(bool enabled);
    // The controls are placed again already; the pictures follow.
    void DpiChanged();

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR*) override { return 0; }
    // The pointer window's messages.
    LRESULT PointerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    void CreatePointer();
    void LoadMonitorPicture();
    [[nodiscard]] ScreenPoint ScreenSize() const;
    void PlacePointerFromStored();
    void ShowGlass();
    void Monitor_Click();
    void CreateNoEntryCursor();

    void chkBlink_Click();
    void chkEnlarge_Click();
    void optHor_Click();
    void optVer_Click();
    void cmdTry_Click();
    void chkAway_Click();

    void PicPointer_Paint();
    // The pointer ends up centred on an accepted drop, even when the stored
    // values were clamped; the next load places it from the stored values.
    void PicScreen_DragDrop(const PointerDrop& drop);
    void MovePointer(TwipsPoint topLeft, PointerSize size);

    // DragScreen
    DragSpot SpotAt(ScreenPoint point) override;
    ScreenRect PointerRect() override;
    void CaptureMouse() override { ::SetCapture(PicPointer_); }
    void ReleaseMouse() override { ::ReleaseCapture(); }
    void ShowCursor(DragImage image) override;
    void InvertOutline(const ScreenRect& rect) override;

    DialogHost& host_;
    HWND frame_ = nullptr;  // Frame6
    HWND label_ = nullptr;
    HWND arrange_ = nullptr;  // Frame7
    HWND optHor_ = nullptr;
    HWND optVer_ = nullptr;
    HWND chkBlink_ = nullptr;
    HWND chkEnlarge_ = nullptr;
    HWND cmdTry_ = nullptr;
    HWND chkAway_ = nullptr;  // the summary of what happened while away
    HWND PicScreen_ = nullptr;
    HWND PicPointer_ = nullptr;
    HWND imgDrag_ = nullptr;
    UniqueBitmap monitorPicture_;
    UniqueIcon noEntryIcon_;
    UniqueIcon noEntryCursor_;  // a cursor made from the icon is released like one

    TwipsPoint pointerAt_{};  // top-left corner, twips on the page
    PointerSize pointerSize_ = kPointerAtLoad;

    PointerDragSession drag_{*this};
    int outlineThickness_ = 1;  // pixels
    MonitorChoice monitors_;
    GlassRect glass_ = kWholeGlass;
};

}  // namespace vl
