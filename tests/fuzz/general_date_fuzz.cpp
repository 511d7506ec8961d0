// The general date form over arbitrary locale texts: the date and the time
// keep their own text, joined by exactly one blank when both are shown.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "watch/general_date.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    vl::DateParts parts;
    parts.hasDate = in.ConsumeBool();
    parts.midnight = in.ConsumeBool();
    parts.shortDate = in.ConsumeRandomLengthString();
    parts.longTime = in.ConsumeRemainingBytesAsString();

    const std::string text = vl::GeneralDateText(parts);
    if (!parts.hasDate) {
        FUZZ_EXPECT(text == parts.longTime);
    } else if (parts.midnight) {
        FUZZ_EXPECT(text == parts.shortDate);
    } else {
        FUZZ_EXPECT(text.size() == parts.shortDate.size() + 1 + parts.longTime.size());
        FUZZ_EXPECT(text.compare(0, parts.shortDate.size(), parts.shortDate) == 0);
        FUZZ_EXPECT(text[parts.shortDate.size()] == ' ');
        FUZZ_EXPECT(text.compare(parts.shortDate.size() + 1, std::string::npos, parts.longTime) == 0);
    }
    return 0;
}
