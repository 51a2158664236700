#include "report/korean_words.h"
#include "report/report_layouts.h"

namespace strovanik::report {

void ReplaceReport(std::string& report, std::initializer_list<std::string_view> pieces) {
    report.clear();
    AppendToReport(report, pieces);
}

void AppendToReport(std::string& report, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) report += piece;
}

std::string_view insertedText(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string valueText(std::string_view text) {
    text = insertedText(text);
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string shownMakeInfo(const container::AviHeaderSet& headers, ReportLayout layout) {
    if (layout == ReportLayout::English) {
        return container::normalizedMakeInfo(headers, "unknown", "editing");
    }
    return container::normalizedMakeInfo(headers, kUnknownWord, kEditingWord);
}

void writeReport(ReportLayout layout, const ReportInput& input, std::string& report) {
    switch (layout) {
        case ReportLayout::English:
            WriteEnglishReport(input, report);
            return;
        case ReportLayout::KoreanDetailed:
            WriteKoreanDetailedReport(input, report);
            return;
        case ReportLayout::KoreanBrief:
            WriteKoreanBriefReport(input, report);
            return;
    }
}

}  // namespace strovanik::report
