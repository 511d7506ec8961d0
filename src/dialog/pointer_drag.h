// A drag of the "Position" page's pointer, from the press to the release:
// which button ends it, where its outline is drawn, what the mouse is over
// and what a drop stores. The page only turns mouse messages into calls and
// draws what it is told through DragScreen.
#pragma once

#include <optional>

#include "core/screen_geometry.h"
#include "dialog/position_map.h"

namespace vl {

enum class MouseButton { Left, Right, Middle };

// What the mouse is over, as the page's drag handlers see it: the picture,
// the bare page, or something without a handler (the pointer itself, the
// other controls, anything outside the page).
enum class DragTarget { None, Picture, Page };

struct DragSpot {
    DragTarget target = DragTarget::None;
    TwipsPoint onPicture{};  // twips from the picture's top-left corner, over the picture
};

class DragScreen {
public:
    virtual ~DragScreen() = default;
    virtual DragSpot SpotAt(ScreenPoint point) = 0;
    // The pointer on the screen, when it is pressed.
    virtual ScreenRect PointerRect() = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    // The arrow for the plain outline, the no-entry sign otherwise.
    virtual void ShowCursor(DragImage image) = 0;
    // Inverts the outline's pixels: doing it twice restores them.
    virtual void InvertOutline(const ScreenRect& rect) = 0;
};

// An accepted drop on the picture.
struct PointerDrop {
    TwipsPoint at;          // twips on the picture
    NotifyPosition stored;  // what the settings keep
};

class PointerDragSession {
public:
    explicit PointerDragSession(DragScreen& screen) : screen_(screen) {}

    // A press on the pointer starts a drag; another button while dragging does nothing.
    void Press(MouseButton button, ScreenPoint at);
    void Move(ScreenPoint at);
    // The release of the button that started the drag drops the pointer.
    std::optional<PointerDrop> Release(MouseButton button, ScreenPoint at, int screenWidth, int screenHeight);
    // Another window took the mouse (a message box, a switch of task): the
    // drag ends where it is, without a drop.
    void CaptureLost();
    // The page goes away: never leave inverted pixels on the screen.
    void Abandon();

    [[nodiscard]] bool Dragging() const { return dragging_; }

private:
    void DragOver(const DragSpot& spot);
    void ShowImage(DragImage image);
    void MoveOutline(ScreenPoint at);
    void HideOutline();
    void Finish();

    DragScreen& screen_;
    PointerDrag drag_;
    bool dragging_ = false;
    MouseButton button_ = MouseButton::Left;
    DragImage image_ = DragImage::PlainOutline;
    ScreenRect grabbedRect_{};
    ScreenPoint grabbedAt_{};
    std::optional<ScreenRect> outline_;  // where the inverted outline is drawn now
};

}  // namespace vl
