#include "cli/csv_output.h"

#include <algorithm>

namespace strovanik::cli {

namespace {

constexpr std::string_view kRowEnd = "\r\n";

// Text as UTF-8 whatever the bytes: a file name in another encoding gets U+FFFD in place
// of the bytes that are not UTF-8, as in the JSON output.
std::string utf8Text(const std::string& text) {
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) return text;
    return Record::parse(Record(text).dump(-1, ' ', false, Record::error_handler_t::replace))
        .get<std::string>();
}

std::string cellText(const Record& value) {
    if (value.is_null()) return {};
    if (value.is_string()) return utf8Text(value.get<std::string>());
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    return value.dump(-1, ' ', false, Record::error_handler_t::replace);
}

}  // namespace

const std::vector<std::string_view>& csvColumns() {
    static const std::vector<std::string_view> columns = [] {
        std::vector<std::string_view> names;
        for (const RecordField& field : recordFields()) {
            if (field.column) names.push_back(field.key);
        }
        return names;
    }();
    return columns;
}

std::string csvField(std::string_view text) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

std::string csvHeaderRow() {
    std::string row;
    for (std::string_view name : csvColumns()) {
        if (!row.empty()) row += ',';
        row += csvField(name);
    }
    row += kRowEnd;
    return row;
}

std::string csvRow(const Record& record) {
    std::string row;
    bool first = true;
    for (std::string_view name : csvColumns()) {
        if (!first) row += ',';
        first = false;
        const auto found = record.find(std::string(name));
        if (found != record.end()) row += csvField(cellText(*found));
    }
    row += kRowEnd;
    return row;
}

}  // namespace strovanik::cli
