// Text and number helpers the rooms share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vl {

// ASCII letters in lower case, as keys of the settings file compare.
std::string Lowered(std::string text);

// Compares letters without their case (ASCII letters: the paths, dates and
// words compared this way are matched as Windows would match file names).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// "0x8009030E": a status code as Windows' documentation writes it. Not
// printf: its formatter would bring 35 KB into the i686 file.
std::string HexCode(std::uint32_t code);

// The nearest whole number, halves to the even one. Decided here rather than
// by the FPU's rounding mode, which a loaded DLL may have changed.
double RoundHalfEven(double value);

// The same as a 32-bit number, saturating at its limits (NaN gives 0).
std::int32_t RoundHalfEvenInt32(double value);

}  // namespace vl
