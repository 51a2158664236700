#include "report/findings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

// The table of findings: what the writers and the verdict rely on, read from the table itself.
namespace strovanik::testing {
namespace {

using report::filledSentence;
using report::FindingKind;

std::set<std::string> slotsOf(std::string_view sentence) {
    std::set<std::string> slots;
    for (std::size_t open = sentence.find('{'); open != std::string_view::npos;
         open = sentence.find('{', open + 1)) {
        const std::size_t close = sentence.find('}', open);
        if (close == std::string_view::npos) break;
        slots.insert(std::string(sentence.substr(open + 1, close - open - 1)));
    }
    return slots;
}

TEST(Findings, TheTableHoldsTogether) {
    std::map<std::string_view, bool> noteOfName;
    std::string_view previous;
    for (const FindingKind& kind : report::findingKinds()) {
        SCOPED_TRACE(kind.name);
        EXPECT_EQ(&report::findingKind(kind.code), &kind);
        EXPECT_EQ(report::findingCodeName(kind.code), kind.name);
        EXPECT_EQ(report::isNote(kind.code), kind.note);
        // A stable name: lower case words joined by dashes.
        EXPECT_FALSE(kind.name.empty());
        EXPECT_EQ(kind.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"),
                  std::string_view::npos);
        // The sentences of one finding stand together and agree on what it makes of the file.
        const auto [seen, added] = noteOfName.emplace(kind.name, kind.note);
        if (!added) {
            EXPECT_EQ(previous, kind.name) << "rows of one name are apart";
            EXPECT_EQ(seen->second, kind.note);
        }
        previous = kind.name;
        // Both languages say the same figures.
        EXPECT_FALSE(kind.english.empty() || kind.korean.empty());
        EXPECT_EQ(slotsOf(kind.english), slotsOf(kind.korean));
    }
}

TEST(Findings, SlotsAreFilled) {
    struct Case {
        std::string_view sentence;
        std::string expected;
    };
    const Case cases[] = {
        {"no slots", "no slots"},
        {"{a} and {b}", "1 and two"},
        {"{a}{a}", "11"},
        {"{missing} stays", "{missing} stays"},
        {"ends open {a", "ends open {a"},
        {"{}", "{}"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(filledSentence(c.sentence, {{"a", "1"}, {"b", "two"}}), c.expected) << c.sentence;
    }
}

}  // namespace
}  // namespace strovanik::testing
