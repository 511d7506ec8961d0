#include "watch/general_date.h"

namespace vl {

std::string GeneralDateText(const DateParts& parts) {
    if (!parts.hasDate) return parts.longTime;
    if (parts.midnight) return parts.shortDate;
    std::string text = parts.shortDate;
    text.push_back(' ');
    text.append(parts.longTime);
    return text;
}

}  // namespace vl
