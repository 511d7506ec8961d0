#include "dialog/pointer_drag.h"

namespace vl {

void PointerDragSession::Press(MouseButton button, ScreenPoint at) {
    if (dragging_) return;
    dragging_ = true;
    button_ = button;
    screen_.CaptureMouse();
    grabbedRect_ = screen_.PointerRect();
    grabbedAt_ = at;
    ShowImage(drag_.Begin());
    MoveOutline(at);
}

void PointerDragSession::Move(ScreenPoint at) {
    if (!dragging_) return;
    DragOver(screen_.SpotAt(at));
    if (image_ == DragImage::PlainOutline) MoveOutline(at);
}

std::optional<PointerDrop> PointerDragSession::Release(MouseButton button, ScreenPoint at, int screenWidth,
                                                       int screenHeight) {
    if (!dragging_ || button != button_) return std::nullopt;
    // The release is a last movement, then the drop where it happened.
    const DragSpot spot = screen_.SpotAt(at);
    DragOver(spot);
    HideOutline();
    std::optional<PointerDrop> drop;
    switch (spot.target) {
        case DragTarget::Picture:
            if (const auto stored =
                    drag_.DropOnPicture(spot.onPicture.x, spot.onPicture.y, screenWidth, screenHeight))
                drop = PointerDrop{spot.onPicture, *stored};
            break;
        case DragTarget::Page: ShowImage(PointerDrag::OverPage()); break;
        case DragTarget::None: break;  // nothing takes the drop there
    }
    Finish();
    screen_.ReleaseMouse();  // reports a lost capture, which is no cancel now
    screen_.ShowCursor(DragImage::PlainOutline);
    return drop;
}

void PointerDragSession::CaptureLost() {
    if (!dragging_) return;
    Finish();
    screen_.ShowCursor(DragImage::PlainOutline);
}

void PointerDragSession::Abandon() {
    HideOutline();
    dragging_ = false;
}

void PointerDragSession::Finish() {
    dragging_ = false;
    drag_.End();
    HideOutline();
}

void PointerDragSession::DragOver(const DragSpot& spot) {
    switch (spot.target) {
        case DragTarget::Picture:
            if (const auto image = drag_.OverPicture(spot.onPicture.x, spot.onPicture.y)) ShowImage(*image);
            break;
        case DragTarget::Page: ShowImage(PointerDrag::OverPage()); break;
        case DragTarget::None: break;
    }
}

// The no-entry sign stands for the pointer: no outline beside it.
void PointerDragSession::ShowImage(DragImage image) {
    image_ = image;
    if (image == DragImage::NoEntry) HideOutline();
    screen_.ShowCursor(image);
}

void PointerDragSession::MoveOutline(ScreenPoint at) {
    const int dx = at.x - grabbedAt_.x, dy = at.y - grabbedAt_.y;
    const ScreenRect next{grabbedRect_.left + dx, grabbedRect_.top + dy, grabbedRect_.right + dx,
                          grabbedRect_.bottom + dy};
    if (outline_ == next) return;
    HideOutline();
    screen_.InvertOutline(next);
    outline_ = next;
}

void PointerDragSession::HideOutline() {
    if (!outline_) return;
    screen_.InvertOutline(*outline_);
    outline_.reset();
}

}  // namespace vl
