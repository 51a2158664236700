#include "cli/json_output.h"

namespace strovanik::cli {

Record fileRecord(const FileAnalysis& analysis, report::ReportLayout layout, RecordShape shape) {
    const RecordContext context{analysis, layout, shape};
    ObjectBuilder r(recordFields().size());
    for (const RecordField& field : recordFields()) {
        if (!field.inShape(shape)) continue;
        if (FieldValue value = field.value(context)) r.add(field.key, std::move(*value));
    }
    return r.take();
}

std::string compactJson(const Record& record) {
    return record.dump(-1, ' ', false, Record::error_handler_t::replace);
}

}  // namespace strovanik::cli
