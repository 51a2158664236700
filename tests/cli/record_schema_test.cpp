#include "cli/record_schema.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"
#include "cli/csv_output.h"
#include "cli/json_output.h"
#include "report/findings.h"

// The record's fields as the schema gives them: each record of each shape holds the schema's
// keys in its order, a row holds what the JSON says, and the README names every key.
namespace strovanik::testing {
namespace {

using cli::Record;
using cli::RecordShape;

// The schema's position of every key a record holds, which must rise: the keys come in the
// schema's order and none comes from elsewhere.
void expectSchemaOrder(const Record& record, RecordShape shape, const std::string& file) {
    const auto fields = cli::recordFields();
    std::size_t next = 0;
    for (const auto& [key, value] : record.items()) {
        while (next < fields.size() && (fields[next].key != key || !fields[next].inShape(shape))) {
            ++next;
        }
        EXPECT_LT(next, fields.size()) << file << ": " << key << " out of order or unknown";
        ++next;
    }
}

// A row's column of the first video or sound stream's bitstream, as the JSON gives it.
Record bitstreamColumn(const Record& inspection, const std::string& key) {
    const bool video = key.starts_with("video");
    for (const Record& s : inspection.at("streams")) {
        if (video != (s.at("type") == "vids") || (!video && s.at("formatTag").is_null())) continue;
        const Record& b = s.at("bitstream");
        if (b.is_null()) return nullptr;
        if (key == "videoEncoder") {
            const Record& e = b.at("encoder");
            if (e.is_null()) return nullptr;
            const std::string version = e.at("version");
            return e.at("name").get<std::string>() + (version.empty() ? "" : " " + version);
        }
        std::string field = key.substr(5);  // after "video" or "audio"
        field[0] = static_cast<char>(std::tolower(field[0]));
        return b.at(field);
    }
    return nullptr;
}

TEST(RecordSchema, RecordsFollowTheSchemaAndRowsHoldWhatTheJsonSays) {
    Collection c;
    AviPlan twoSounds;
    twoSounds.audio = {AudioPlan{}, AudioPlan{.formatTag = 0x2000, .channels = 6}};
    const std::vector<std::string> files = {
        c.avi("plain.avi"),
        c.avi("two sounds.avi", twoSounds),
        c.avi("partial.avi", partialPlan()),
        c.write("ogg.avi", oggBytes()),
        (c.root() / "missing.avi").string(),
    };
    const auto columns = cli::csvColumns();
    for (const std::string& path : files) {
        const cli::FileAnalysis analysis =
            cli::analysePath(path, report::ReportLayout::English, true);
        const Record full = cli::fileRecord(analysis, report::ReportLayout::English);
        const Record row =
            cli::fileRecord(analysis, report::ReportLayout::English, RecordShape::Row);
        const Record check =
            cli::fileRecord(analysis, report::ReportLayout::English, RecordShape::Check);
        expectSchemaOrder(full, RecordShape::Full, path);
        expectSchemaOrder(row, RecordShape::Row, path);
        expectSchemaOrder(check, RecordShape::Check, path);
        EXPECT_EQ(check.size(), 3u) << path;  // path, kind, inspection
        EXPECT_EQ(row.contains("report"), false) << path;
        // A key with a column has it, and the row's value is the JSON's, at the top or in
        // the inspection.
        for (const auto& [key, value] : row.items()) {
            EXPECT_NE(std::find(columns.begin(), columns.end(), key), columns.end()) << key;
            if (full.contains(key)) {
                EXPECT_EQ(full.at(key), value) << path << ": " << key;
                continue;
            }
            const Record& inspection = full.at("inspection");
            if (!inspection.contains(key)) {
                EXPECT_EQ(bitstreamColumn(inspection, key), value) << path << ": " << key;
                continue;
            }
            EXPECT_EQ(inspection.at(key), value) << path << ": " << key;
        }
    }
}

std::string readme() {
    std::ifstream in(std::string(STROVANIK_SOURCE_DIR) + "/README.md", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RecordSchema, TheReadmeNamesEveryKeyAndFinding) {
    const std::string text = readme();
    ASSERT_FALSE(text.empty());
    std::vector<std::string_view> names;
    for (const auto& f : cli::recordFields()) names.push_back(f.key);
    for (const auto& f : cli::inspectionFields()) names.push_back(f.key);
    for (const auto& f : cli::streamFields()) names.push_back(f.key);
    for (const auto& f : report::findingKinds()) names.push_back(f.name);
    for (std::string_view name : names) {
        EXPECT_NE(text.find("`" + std::string(name) + "`"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace strovanik::testing
