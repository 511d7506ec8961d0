// The twips geometry of every control of the dialog, kept after the controls
// are made: moved to a monitor of another scale, the dialog places each one
// again from the same numbers. (Pixels scaled from pixels would drift by a
// pixel at every move between monitors.)
#pragma once

#include <cstdint>
#include <vector>

#include "platform/twips.h"

namespace vl {

class TwipsLayout {
public:
    struct Entry {
        std::uintptr_t control = 0;
        TwipsRect at{};
        std::uintptr_t font = 0;  // the font it was given, 0 for none
    };

    // A control made, or placed again: the latest geometry counts. A font of
    // 0 keeps the one already known.
    void Place(std::uintptr_t control, const TwipsRect& at, std::uintptr_t font = 0);
    // The controls that had one font have another now.
    void ReplaceFont(std::uintptr_t from, std::uintptr_t to);
    // Controls that are gone, as the caller tells (their handles may be reused).
    template <typename IsGone>
    void ForgetIf(IsGone gone) {
        std::erase_if(entries_, [&](const Entry& e) { return gone(e.control); });
    }
    [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

}  // namespace vl
