// The "Position" page: where notifications appear, and how.
#pragma once

#include <windows.h>

#include <optional>

#include "dialog/controls_win32.h"
#include "dialog/dialog_host.h"
#include "dialog/position_map.h"
#include "platform/win32_handles.h"
#include "dialog/save_all.h"

namespace vl {

class PositionPage final : public PageHandler {
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

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR*) override { return 0; }
    // The pointer window's messages.
    LRESULT PointerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    enum class DragTarget { None, Picture, Page };

    void CreatePointer();
    void CreateNoEntryCursor();

    void chkBlink_Click();
    void chkEnlarge_Click();
    void optHor_Click();
    void optVer_Click();

    // The pointer's own messages.
    void PicPointer_Paint();
    void PicPointer_MouseDown(UINT button, POINT screen);
    void PicPointer_MouseMove(POINT screen);
    void PicPointer_ButtonUp(UINT button, POINT screen);
    void PicPointer_MouseUp();
    void PicPointer_CaptureLost();

    // Where the dragged pointer is: over the picture or the page.
    void PicScreen_DragOver(double x, double y);
    void PicScreen_DragDrop(double x, double y);
    void Frame6_DragOver();
    void Frame6_DragDrop();
    DragTarget TargetAt(POINT screen) const;
    void DragOverAt(POINT screen);
    TwipsPoint OnPicture(POINT screen) const;

    // The drag image: the pointer's outline drawn inverted on the screen,
    // or the no-entry cursor.
    void ShowDragImage(DragImage image);
    void MoveOutline(POINT screen);
    void HideOutline();
    static void InvertOutline(const RECT& r, int thickness);

    void MovePointer(TwipsPoint topLeft, PointerSize size);

    DialogHost& host_;
    HWND frame_ = nullptr;  // Frame6
    HWND label_ = nullptr;
    HWND arrange_ = nullptr;  // Frame7
    HWND optHor_ = nullptr;
    HWND optVer_ = nullptr;
    HWND chkBlink_ = nullptr;
    HWND chkEnlarge_ = nullptr;
    HWND PicScreen_ = nullptr;
    HWND PicPointer_ = nullptr;
    HWND imgDrag_ = nullptr;
    UniqueBitmap monitorPicture_;
    UniqueIcon noEntryIcon_;
    UniqueIcon noEntryCursor_;  // a cursor made from the icon is released like one

    TwipsPoint pointerAt_{};  // top-left corner, twips on the page
    PointerSize pointerSize_ = kPointerAtLoad;

    PointerDrag drag_;
    bool dragging_ = false;
    UINT dragButton_ = 0;  // the button-up message that ends the drag
    DragImage dragImage_ = DragImage::PlainOutline;
    RECT grabbedRect_{};  // the pointer on the screen when it was pressed
    POINT grabbedAt_{};
    std::optional<RECT> outline_;  // where the inverted outline is drawn now
    int outlineThickness_ = 1;     // pixels
};

}  // namespace vl
