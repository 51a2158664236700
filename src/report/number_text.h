#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The three ways the reports turn numbers into text.
namespace strovanik::report {

// The digits with one leading space for zero and positive values, "-" for negative ones;
// no grouping. A value with a fraction shows its shortest decimal form (" 6.1").
std::string spacedForm(std::int64_t value);
std::string spacedForm(double value);

// The digits, "-" for a negative value; no space, no grouping.
std::string plainForm(std::int64_t value);

// The value shaped by a pattern: "0" a digit always shown, "#" a digit shown when
// significant, "," in the integer part groups by threes, "." the decimal point; other
// characters are copied. The value's 15-significant-digit decimal form is rounded to the
// pattern's decimals, halves away from zero. All integer digits are shown.
std::string patternForm(double value, std::string_view pattern);
// Whole numbers are shaped exactly, however many digits they have.
std::string patternForm(std::int64_t value, std::string_view pattern);

}  // namespace strovanik::report
