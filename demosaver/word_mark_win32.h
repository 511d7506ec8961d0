// The "Vigilumen" word-mark: drawn once per frame size by GDI, then added
// onto every frame like the orbs.
#pragma once

#include "blend.h"

namespace demosaver {

// White-blue ink with a blue halo, sized for a frame whose shorter side is
// `shortSide` pixels. Empty if GDI could not draw it.
Sprite MakeWordMark(int shortSide);

}  // namespace demosaver
