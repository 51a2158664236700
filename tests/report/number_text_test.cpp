#include "report/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace strovanik::report {
namespace {

TEST(SpacedForm, WholeNumbers) {
    struct Case {
        std::int64_t value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, " 0"},
        {640, " 640"},
        {10000, " 10000"},
        {-1, "-1"},
        {-30, "-30"},
        {std::numeric_limits<std::int32_t>::max(), " 2147483647"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
    };
    for (const Case& c : cases) EXPECT_EQ(spacedForm(c.value), c.text) << c.value;
}

TEST(SpacedForm, NumbersWithAFraction) {
    struct Case {
        double value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {6.0 + 0.1, " 6.1"}, {5.0 + 0.1, " 5.1"}, {32767.0 + 0.1, " 32767.1"}, {0.0, " 0"},
        {2.0, " 2"},         {-2.5, "-2.5"},      {100.0 + 0.1, " 100.1"},
    };
    for (const Case& c : cases) EXPECT_EQ(spacedForm(c.value), c.text) << c.value;
}

TEST(PlainForm, Digits) {
    EXPECT_EQ(plainForm(1234567), "1234567");
    EXPECT_EQ(plainForm(0), "0");
    EXPECT_EQ(plainForm(-24), "-24");
    EXPECT_EQ(plainForm(143856), "143856");
}

struct PatternCase {
    double value;
    const char* pattern;
    std::string text;
};

TEST(PatternForm, Table) {
    const std::vector<PatternCase> cases = {
        // "0": whole numbers, halves away from zero.
        {0, "0", "0"},
        {102, "0", "102"},
        {0.5, "0", "1"},
        {1.5, "0", "2"},
        {2.5, "0", "3"},
        {-0.5, "0", "-1"},
        {-2.5, "0", "-3"},
        {0.49, "0", "0"},
        {1e15, "0", "1000000000000000"},
        {4'294'967'296.0, "0", "4294967296"},
        // "0.00": the ratios.
        {0, "0.00", "0.00"},
        {640.0 / 480.0, "0.00", "1.33"},
        {720.0 / 576.0, "0.00", "1.25"},
        {640.0 / 272.0, "0.00", "2.35"},
        {1070.0 / 400.0, "0.00", "2.68"},  // 2.675 is 2.67499999... in binary
        {1.125, "0.00", "1.13"},
        {1.005, "0.00", "1.01"},
        {9.995, "0.00", "10.00"},
        {0.005, "0.00", "0.01"},
        {0.004999, "0.00", "0.00"},
        {-1.125, "0.00", "-1.13"},
        {-640.0 / 480.0, "0.00", "-1.33"},
        {1920.0 / 1.0, "0.00", "1920.00"},
        // "0.000": the frame rates.
        {1'000'000.0 / 41'708, "0.000", "23.976"},
        {1'000'000.0 / 40'000, "0.000", "25.000"},
        {1'000'000.0 / 66'666, "0.000", "15.000"},
        {1'000'000.0 / 33'367, "0.000", "29.970"},
        {1'000'000.0 / 1, "0.000", "1000000.000"},
        {1'000'000.0 / -40'000, "0.000", "-25.000"},
        {0.0005, "0.000", "0.001"},
        // "##,##0": the video bit rates.
        {0, "##,##0", "0"},
        {0.4, "##,##0", "0"},
        {7.5, "##,##0", "8"},
        {999.5, "##,##0", "1,000"},
        {1155.7265625, "##,##0", "1,156"},
        {830.73, "##,##0", "831"},
        {123456789.2, "##,##0", "123,456,789"},
        {-78.125, "##,##0", "-78"},
        {-1234.5, "##,##0", "-1,235"},
        {-0.3, "##,##0", "-0"},  // a negative value keeps its sign when it rounds to zero
        {-0.0, "##,##0", "0"},
        // "###,###,###": sample rates; zero shows no digits.
        {0, "###,###,###", ""},
        {1, "###,###,###", "1"},
        {22050, "###,###,###", "22,050"},
        {48000, "###,###,###", "48,000"},
        {999999, "###,###,###", "999,999"},
        {1000000, "###,###,###", "1,000,000"},
        {12345678901.0, "###,###,###", "12,345,678,901"},  // every digit shown
        {-44100, "###,###,###", "-44,100"},
        // The size patterns, with their space.
        {0, "#### ", " "},
        {700, "#### ", "700 "},
        {3072, "#### ", "3072 "},
        {123456, "#### ", "123456 "},
        {0, "0.00 ", "0.00 "},
        {5.12, "0.00 ", "5.12 "},
        {9.99, "0.00 ", "9.99 "},
        {10.0, "00.0 ", "10.0 "},
        {45.5, "00.0 ", "45.5 "},
        {99.9, "00.0 ", "99.9 "},
        {5.0, "00.0 ", "05.0 "},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(patternForm(c.value, c.pattern), c.text)
            << c.value << " under \"" << c.pattern << "\"";
    }
}

TEST(PatternForm, FifteenSignificantDigitsDecideTheHalf) {
    // Below a half at 15 significant digits stays below; a 16th digit that carries the
    // 15-digit form up to a half rounds up.
    EXPECT_EQ(patternForm(2.67499999999999, "0.00"), "2.67");
    EXPECT_EQ(patternForm(2.674999999999999, "0.00"), "2.68");
    EXPECT_EQ(patternForm(2.6749999999999999, "0.00"), "2.68");  // the same double as 2.675
    EXPECT_EQ(patternForm(0.1 + 0.2, "0.00"), "0.30");
    EXPECT_EQ(patternForm(1.0 / 3.0, "0.000"), "0.333");
    EXPECT_EQ(patternForm(2.0 / 3.0, "0.000"), "0.667");
}

TEST(PatternForm, WholeNumbersExactly) {
    struct Case {
        std::int64_t value;
        const char* pattern;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, "##,###,###,###", ""},
        {999, "##,###,###,###", "999"},
        {1000, "##,###,###,###", "1,000"},
        {47'710'208, "##,###,###,###", "47,710,208"},
        {734'003'200, "##,###,###,###", "734,003,200"},
        {2'147'483'647, "##,###,###,###", "2,147,483,647"},
        {3'221'225'472, "##,###,###,###", "3,221,225,472"},
        {5'000'000'000, "##,###,###,###", "5,000,000,000"},
        {123'456'789'012'345, "##,###,###,###", "123,456,789,012,345"},
        {std::numeric_limits<std::int64_t>::max(), "##,###,###,###", "9,223,372,036,854,775,807"},
        {-1234, "##,###,###,###", "-1,234"},
        {0, "###,###,###", ""},
        {0, "0", "0"},
        {48000, "###,###,###", "48,000"},
        {-1, "###,###,###", "-1"},
        {std::numeric_limits<std::int32_t>::min(), "###,###,###", "-2,147,483,648"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(patternForm(c.value, c.pattern), c.text)
            << c.value << " under \"" << c.pattern << "\"";
    }
}

}  // namespace
}  // namespace strovanik::report
