// Limits every room keeps to.
#pragma once

namespace vl {

// Most records the list may hold (its count is a 16-bit number).
inline constexpr int kMaxAppCount = 32767;

}  // namespace vl
