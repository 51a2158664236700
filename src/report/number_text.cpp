#include "report/number_text.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace strovanik::report {

namespace {

bool isPlaceholder(char c) { return c == '0' || c == '#' || c == '.' || c == ','; }

// A non-negative decimal number as a digit string with the decimal point after
// `integerDigits` digits.
struct Decimal {
    std::string digits;
    int integerDigits = 0;
};

// Rounds to `decimals` places, halves away from zero (the digit string is the magnitude).
void roundTo(Decimal& d, int decimals) {
    if (d.integerDigits < 1) {
        d.digits.insert(0, static_cast<std::size_t>(1 - d.integerDigits), '0');
        d.integerDigits = 1;
    }
    const auto keep = static_cast<std::size_t>(d.integerDigits + decimals);
    if (d.digits.size() < keep + 1) d.digits.resize(keep + 1, '0');
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (!up) return;
    for (std::size_t i = keep; i-- > 0;) {
        if (d.digits[i] != '9') {
            ++d.digits[i];
            return;
        }
        d.digits[i] = '0';
    }
    d.digits.insert(0, 1, '1');
    ++d.integerDigits;
}

std::string shape(Decimal d, bool negative, std::string_view pattern) {
    const std::size_t first = pattern.find_first_of("0#.,");
    if (first == std::string_view::npos) return std::string(pattern);
    std::size_t last = first;
    while (last < pattern.size() && isPlaceholder(pattern[last])) ++last;
    const std::string_view prefix = pattern.substr(0, first);
    const std::string_view body = pattern.substr(first, last - first);
    const std::string_view suffix = pattern.substr(last);

    const std::size_t point = body.find('.');
    const std::string_view integerPart = body.substr(0, point);
    const std::string_view fractionPart =
        point == std::string_view::npos ? std::string_view{} : body.substr(point + 1);
    std::size_t minIntegerDigits = 0;
    for (const char c : integerPart) minIntegerDigits += c == '0';
    const bool grouped = integerPart.find(',') != std::string_view::npos;
    std::size_t fixedDecimals = 0;
    std::size_t decimals = 0;
    for (const char c : fractionPart) {
        fixedDecimals += c == '0';
        decimals += c == '0' || c == '#';
    }

    roundTo(d, static_cast<int>(decimals));
    std::string integer = d.digits.substr(0, static_cast<std::size_t>(d.integerDigits));
    std::string fraction = d.digits.substr(static_cast<std::size_t>(d.integerDigits));
    integer.erase(0, integer.find_first_not_of('0'));
    if (integer.size() < minIntegerDigits)
        integer.insert(0, minIntegerDigits - integer.size(), '0');
    while (fraction.size() > fixedDecimals && fraction.back() == '0') fraction.pop_back();
    if (grouped) {
        for (std::size_t i = integer.size(); i > 3; i -= 3) integer.insert(i - 3, 1, ',');
    }

    std::string out(prefix);
    if (negative) out += '-';
    out += integer;
    if (point != std::string_view::npos) {
        out += '.';
        out += fraction;
    }
    out += suffix;
    return out;
}

}  // namespace

std::string spacedForm(std::int64_t value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string spacedForm(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return value < 0 ? std::string(buffer) : " " + std::string(buffer);
}

std::string plainForm(std::int64_t value) { return std::to_string(value); }

std::string patternForm(double value, std::string_view pattern) {
    Decimal d;
    if (value != 0 && std::isfinite(value)) {
        // The 15 significant digits of the value: d.dddddddddddddde±XX.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
        const std::string text(buffer);
        const std::size_t e = text.find('e');
        d.digits = text.substr(0, 1) + text.substr(2, e - 2);
        d.integerDigits = std::stoi(text.substr(e + 1)) + 1;
    }
    return shape(std::move(d), value < 0, pattern);
}

std::string patternForm(std::int64_t value, std::string_view pattern) {
    Decimal d;
    if (value != 0) {
        std::string digits = std::to_string(value);
        if (digits.front() == '-') digits.erase(0, 1);
        d.integerDigits = static_cast<int>(digits.size());
        d.digits = std::move(digits);
    }
    return shape(std::move(d), value < 0, pattern);
}

}  // namespace strovanik::report
