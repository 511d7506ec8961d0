// The monitor on the "Position" page: our picture at the size the page's
// DPI calls for, standing on the page's colour, its glass in the shape of
// the monitor it stands for.
#pragma once

#include "platform/win32_api.h"

#include "dialog/position_map.h"
#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace vl {

// Null when the picture cannot be made.
UniqueBitmap MonitorPicture(HINSTANCE instance, const TwipsScale& twips, const GlassRect& glass);

}  // namespace vl
