#include "dialog/twips_layout.h"

#include <algorithm>

namespace vl {

void TwipsLayout::Place(std::uintptr_t control, const TwipsRect& at, std::uintptr_t font) {
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.control == control; });
    if (found == entries_.end()) {
        entries_.push_back({control, at, font});
        return;
    }
    found->at = at;
    if (font) found->font = font;
}

void TwipsLayout::ReplaceFont(std::uintptr_t from, std::uintptr_t to) {
    for (Entry& e : entries_)
        if (e.font == from) e.font = to;
}

}  // namespace vl
