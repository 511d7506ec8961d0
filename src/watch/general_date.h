// The general date form: the locale's short date, a blank and its long
// time; the date alone at midnight, the time alone for a value without a date.
#pragma once

#include <string>

namespace vl {

struct DateParts {
    bool hasDate = true;    // false for a time-only value (day zero)
    bool midnight = false;  // the time part is exactly 00:00:00
    std::string shortDate;  // as the locale writes it
    std::string longTime;
};

std::string GeneralDateText(const DateParts& parts);

}  // namespace vl
