#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string_view>

#include "cli/file_analysis.h"
#include "report/derived_measures.h"

// What a file's record holds, each field said once: its key, whether it is a CSV column, in
// which records it stands, and how it is read from the file's one result. The JSON keys and
// their order, the CSV columns and the --check records all come from here.
namespace strovanik::cli {

// Keys keep the order in which they are written, so that "path" comes first.
using Record = nlohmann::ordered_json;

// Fills a record's object whose keys are each written once, in order: without the look-up
// that `operator[]` makes for every key, and in one allocation for up to `room` keys. A batch
// writes one record per file, so this is most of what a small file costs.
class ObjectBuilder {
public:
    // Room for the keys of every object but the file's own record, which says its count.
    static constexpr std::size_t kRoom = 24;

    explicit ObjectBuilder(std::size_t room = kRoom) { pairs().reserve(room); }
    void add(std::string_view key, Record value) {
        pairs().emplace_back(std::string(key), std::move(value));
    }
    Record take() { return std::move(record_); }

private:
    using Pairs = std::vector<std::pair<const std::string, Record>>;
    Pairs& pairs() { return *record_.get_ptr<Record::object_t*>(); }
    Record record_ = Record::object();
};

enum class RecordShape {
    Full,   // --format json and jsonl: the report, the records, the figures, "inspection"
    Row,    // a row of a table: the figures and the inspection's file figures, no report
    Check,  // --check: "path", "kind" and "inspection" (null for a file that is not AVI)
};

struct RecordContext {
    const FileAnalysis& analysis;
    report::ReportLayout layout;
    RecordShape shape;
};

// A field's value: nothing leaves the key out (a stream the file does not have, a figure past
// where the analysis stopped), null is a figure that failed.
using FieldValue = std::optional<Record>;

struct RecordField {
    std::string_view key;
    bool column;      // a column of the CSV table
    unsigned shapes;  // the RecordShapes it stands in, as bits (see inShape)
    std::function<FieldValue(const RecordContext&)> value;

    bool inShape(RecordShape shape) const {
        return (shapes & (1u << static_cast<unsigned>(shape))) != 0;
    }
};

// The fields of a file's record, in order.
std::span<const RecordField> recordFields();

// The fields of the "inspection" object, in order; those marked as columns stand in a row of
// the table too.
struct InspectionField {
    std::string_view key;
    bool column;
    Record (*value)(const report::Inspection&);
};
std::span<const InspectionField> inspectionFields();

// The fields of each stream of the "inspection" object, in order.
struct StreamField {
    std::string_view key;
    Record (*value)(const report::StreamFacts&);
};
std::span<const StreamField> streamFields();

// The "inspection" object: the verdict, the file's figures, its streams and its findings.
Record inspectionRecord(const report::Inspection& inspection);

}  // namespace strovanik::cli
