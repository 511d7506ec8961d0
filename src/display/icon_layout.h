// Where notification icons go: the drawn-icon table and the arithmetic of
// the icon carrier (twips) and of icons drawn straight on the screen (pixels).
#pragma once

#include <cstdint>
#include <string>

#include "core/runtime_state.h"
#include "core/screen_geometry.h"
#include "platform/twips.h"

namespace vl {

inline constexpr double kParkedLeftTwips = -20000;
inline constexpr int kIconPixels = 32;  // an image element, and the system icon size
inline constexpr int kEnlargedIconPixels = 64;
inline constexpr int kScreenIconPitch = 40;  // pixels between icons drawn on the screen

// Exact, case-sensitive: a path differing in letter case is another icon.
bool IsIconDrawn(const RuntimeState& state, const std::string& path);

// Writes the entry into the spare element, then grows the table by one.
void AddDrawnIcon(RuntimeState& state, const DrawnIcon& entry);

struct CarrierLayout {
    double elementLeft = 0, elementTop = 0;                                       // twips inside the carrier
    std::int32_t entryX = 0, entryY = 0;                                          // what the table records
    double carrierLeft = 0, carrierTop = 0, carrierWidth = 0, carrierHeight = 0;  // twips
};

// The k-th icon (from 0) of elements W x H twips, in a row (orientation 1)
// or a column (anything else) from the notification position.
CarrierLayout LayoutCarrierIcon(int k, double elementWidth, double elementHeight, double firstElementWidth,
                                std::int16_t orientation, std::int32_t notifyX, std::int32_t notifyY,
                                const TwipsScale& twips);

// Where the k-th icon drawn on the screen goes: a 40-pixel pitch.
ScreenPoint ScreenIconPosition(int k, std::int16_t orientation, std::int32_t notifyX, std::int32_t notifyY);

}  // namespace vl
