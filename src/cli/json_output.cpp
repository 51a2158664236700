#include "cli/json_output.h"

namespace strovanik::cli {

Record fileRecord(const FileAnalysis& analysis, report::ReportLayout layout, RecordShape shape) {
    const RecordContext context{analysis, layout, shape};
    Record r;
    for (const RecordField& field : recordFields()) {
        if (!field.inShape(shape)) continue;
        if (FieldValue value = field.value(context)) r[std::string(field.key)] = std::move(*value);
    }
    return r;
}

std::string compactJson(const Record& record) {
    return record.dump(-1, ' ', false, Record::error_handler_t::replace);
}

}  // namespace strovanik::cli
