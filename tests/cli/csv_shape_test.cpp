#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"
#include "cli/csv_output.h"

// --format csv read back with a strict RFC 4180 reader: a header row, one row per file,
// every field where the JSON has it.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Row = std::vector<std::string>;

// Reads CSV as RFC 4180 has it: rows end in CR LF, a quoted field may hold commas, quotes
// (doubled) and line breaks, an unquoted one none of them. Nothing for malformed input.
std::optional<std::vector<Row>> readCsv(const std::string& text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) return std::nullopt;  // unterminated quote
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n') return std::nullopt;
                field += text[i++];
            }
        }
        if (i < text.size() && text[i] == ',') {
            row.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (text.compare(i, 2, "\r\n") == 0) {
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            i += 2;
        } else {
            return std::nullopt;  // a quote closed in mid-field, or a bare CR, or no row end
        }
    }
    if (!row.empty() || !field.empty()) return std::nullopt;
    return rows;
}

TEST(CsvReader, ReadsWhatItShouldAndRefusesTheRest) {
    EXPECT_EQ(readCsv("a,b\r\n\"x,\"\"y\"\"\r\nz\",\r\n"),
              (std::vector<Row>{{"a", "b"}, {"x,\"y\"\r\nz", ""}}));
    for (const char* bad : {"a,b", "a\"b\r\n", "\"a\r\n", "\"a\"b\r\n", "a\nb\r\n"}) {
        EXPECT_FALSE(readCsv(bad).has_value()) << bad;
    }
}

TEST(CsvField, QuotedOnlyWhenItHasTo) {
    const struct {
        std::string_view text;
        std::string_view field;
    } cases[] = {
        {"plain", "plain"},       {"", ""},
        {"a,b", "\"a,b\""},       {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},       {"two\r\nlines", "\"two\r\nlines\""},
        {"line\n", "\"line\n\""}, {" XviD MPEG-4 Video Codec", "\" XviD MPEG-4 Video Codec\""},
        {"0.02 ", "\"0.02 \""},   {"in side", "in side"},
        {"한글", "한글"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::csvField(c.text), c.field) << c.text;
        // Whatever the quoting, a reader gets the text back.
        const auto rows = readCsv(cli::csvField(c.text) + "\r\n");
        ASSERT_TRUE(rows.has_value()) << c.text;
        EXPECT_EQ(rows->at(0).at(0), c.text);
    }
}

TEST(CsvOutput, OneRowPerFileAndEveryFieldAsTheJsonHasIt) {
    Collection c;
    AviPlan twoSounds;
    twoSounds.audio = {AudioPlan{}, AudioPlan{.formatTag = 0x2000, .channels = 6}};
    AviPlan silent;
    silent.audio = {};
    const std::vector<std::string> files = {
        c.avi("plain.avi"),
        c.avi("name, with \"quotes\".avi", twoSounds),
        c.avi("silent.avi", silent),
        c.avi("partial.avi", partialPlan()),
        c.write("ogg.avi", oggBytes()),
        (c.root() / "missing.avi").string(),
    };
    std::vector<std::string> args = {"--format", "csv"};
    args.insert(args.end(), files.begin(), files.end());
    const CommandRun csv = runInProcess(args);
    EXPECT_EQ(csv.status, 3);
    args[1] = "json";
    const json records = json::parse(runInProcess(args).out);

    const auto rows = readCsv(csv.out);
    ASSERT_TRUE(rows.has_value()) << csv.out;
    ASSERT_EQ(rows->size(), files.size() + 1);
    const Row& header = rows->front();
    EXPECT_EQ(header.front(), "path");
    for (const char* name : {"kind", "complete", "error", "runSeconds", "sizeMegabytes",
                             "framesPerSecond", "videoBitrate", "qualityGrade", "channelClass2",
                             "audioBitrate1", "vbr2", "audioCodecText2", "makeInfo"}) {
        EXPECT_NE(std::find(header.begin(), header.end(), name), header.end()) << name;
    }
    for (std::size_t f = 0; f < files.size(); ++f) {
        const Row& row = rows->at(f + 1);
        ASSERT_EQ(row.size(), header.size()) << files[f];
        const json& record = records.at(f);
        for (std::size_t col = 0; col < header.size(); ++col) {
            const std::string& name = header[col];
            std::string expected;
            // The inspection's file figures have columns of their own.
            const json& holder =
                record.contains("inspection") && record.at("inspection").contains(name)
                    ? record.at("inspection")
                    : record;
            if (holder.contains(name)) {
                const json& value = holder.at(name);
                if (value.is_string()) {
                    expected = value.get<std::string>();
                } else if (value.is_boolean()) {
                    expected = value.get<bool>() ? "true" : "false";
                } else if (!value.is_null()) {
                    expected = value.dump();
                }
            }
            EXPECT_EQ(row[col], expected) << files[f] << ": " << name;
        }
    }
    // A few fields by hand, to see that the comparison above compares something.
    const auto column = [&](std::string_view name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) -
                                        header.begin());
    };
    EXPECT_EQ(rows->at(2).at(column("path")), files[1]);
    EXPECT_EQ(rows->at(2).at(column("channelClass2")), "Surround");
    EXPECT_EQ(rows->at(1).at(column("runSeconds")), "10");
    EXPECT_EQ(rows->at(1).at(column("videoCodecText")), "XviD MPEG-4 Video Codec");
    EXPECT_EQ(rows->at(1).at(column("index")), "idx1");
    EXPECT_EQ(rows->at(4).at(column("pictureRatio")), "");  // failed: empty
    EXPECT_EQ(rows->at(4).at(column("complete")), "false");
    EXPECT_EQ(rows->at(5).at(column("kind")), "Ogg");
    EXPECT_EQ(rows->at(6).at(column("error")), "no such file");
    EXPECT_EQ(rows->at(6).at(column("kind")), "");
}

TEST(CsvOutput, AnEmptyBatchIsTheHeaderRowAlone) {
    Collection c;
    const CommandRun run = runInProcess({"--format", "csv", c.folder("nothing")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, cli::csvHeaderRow());
    const auto rows = readCsv(run.out);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->size(), 1u);
}

TEST(CsvOutput, NamesThatAreNotUtf8BecomeUtf8) {
    Collection c;
    const std::string root = c.folder();
    writeFile(fs::path(root) / (std::string("x") + '\xC3' + ".avi"), buildAvi({}));
    const auto rows = readCsv(runInProcess({"--format", "csv", root}).out);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ(rows->at(1).at(0), (fs::path(root) / "x\xEF\xBF\xBD.avi").string());
}

}  // namespace
}  // namespace strovanik::testing
