// Command lines of arbitrary bytes: the arguments are the line's own tail,
// a program name of any form is cut off exactly, and the switch decides
// the mode by its first two characters in any case.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>

#include "fuzz_check.h"
#include "startup/mode.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void CheckLine(std::string_view line) {
    const std::string_view arguments = vl::ArgumentsOf(line);
    // A view into the line's end, never a copy or a piece of its middle.
    FUZZ_EXPECT(arguments.data() + arguments.size() == line.data() + line.size());
    FUZZ_EXPECT(arguments.size() <= line.size());
    FUZZ_EXPECT(arguments.empty() || !IsBlank(arguments.front()));

    const std::string reduced = vl::ReduceSwitch(arguments);
    FUZZ_EXPECT(reduced.size() <= 2);
    FUZZ_EXPECT(arguments.empty() ? reduced == "/c" : reduced.size() == std::min<size_t>(2, arguments.size()));
    for (size_t i = 0; i < reduced.size() && !arguments.empty(); ++i)
        FUZZ_EXPECT(static_cast<unsigned char>(reduced[i]) == std::tolower(static_cast<unsigned char>(arguments[i])));

    const vl::Mode mode = vl::ModeOfSwitch(reduced);
    const bool slashOrDash = reduced.size() == 2 && (reduced[0] == '/' || reduced[0] == '-');
    const char letter = slashOrDash ? reduced[1] : '\0';
    const vl::Mode want = letter == 'c'   ? vl::Mode::Configure
                          : letter == 's' ? vl::Mode::Run
                          : letter == 'p' ? vl::Mode::Preview
                          : letter == 't' ? vl::Mode::Try
                                          : vl::Mode::None;
    FUZZ_EXPECT(mode == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    CheckLine(vlfuzz::AsText(data, size));

    // A line built from a program name and arguments gives those arguments back.
    FuzzedDataProvider in(data, size);
    std::string program = in.ConsumeRandomLengthString();
    const bool quoted = in.ConsumeBool();
    std::string blanks = in.ConsumeBool() ? " " : "\t ";
    std::string arguments = in.ConsumeRemainingBytesAsString();
    program.erase(std::remove(program.begin(), program.end(), '"'), program.end());
    if (!quoted) program.erase(std::remove_if(program.begin(), program.end(), IsBlank), program.end());
    arguments.erase(arguments.begin(), std::find_if_not(arguments.begin(), arguments.end(), IsBlank));
    const std::string line = (quoted ? "\"" + program + "\"" : program) + blanks + arguments;
    FUZZ_EXPECT(vl::ArgumentsOf(line) == arguments);
    CheckLine(line);
    return 0;
}
