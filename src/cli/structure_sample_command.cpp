#include "cli/structure_sample_command.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "cli/fault_note.h"
#include "cli/file_analysis.h"
#include "cli/report_command.h"
#include "container/container_kind.h"
#include "container/file_replacement.h"
#include "container/file_source.h"
#include "container/structure_sample.h"
#include "container/text_encoding.h"

namespace strovanik::cli {

namespace fs = std::filesystem;

int writeStructureSample(const std::string& outPath, const std::string& filePath, bool force,
                         std::ostream& err) {
    const auto line = [&](const std::string& path) -> std::ostream& {
        return err << kProgramName << ": " << path << ": ";
    };
    auto opened = container::FileSource::open(filePath);
    if (opened.status == container::FileSource::OpenStatus::Missing) {
        line(filePath) << "no such file\n";
        return kExitNotReported;
    }
    if (opened.status != container::FileSource::OpenStatus::Opened) {
        line(filePath) << "cannot be read: " << opened.reason << "\n";
        return kExitNotReported;
    }
    container::FileSource& source = *opened.source;
    try {
        std::array<std::uint8_t, 12> first{};
        container::readPadded(source, 0, first);
        const container::ContainerKind kind = container::recogniseContainer(first).kind;
        if (kind != container::ContainerKind::Avi) {
            err << container::refusalMessage(kind) << "\n";
            return kExitNotReported;
        }
        const fs::path target = container::pathFromUtf8(outPath);
        std::error_code error;
        const bool exists = fs::exists(fs::symlink_status(target, error));
        if (exists && container::sameFile(outPath, filePath)) {
            line(outPath) << "is the file itself; the sample is written to another file\n";
            return kExitNotReported;
        }
        if (exists && !force) {
            line(outPath) << "exists already; --force replaces it\n";
            return kExitNotReported;
        }
        container::SampleOutcome outcome;
        std::string problem;
        const FileInHand inHand(filePath);
        if (!container::replaceFileWithStructureSample(outPath, source, outcome, problem)) {
            line(outPath) << "the sample cannot be written: " << problem << "\n";
            return kExitNotReported;
        }
        if (outcome.keptAsItIsFrom) {
            line(filePath) << "the structure could not be followed from byte "
                           << *outcome.keptAsItIsFrom
                           << " on: from there the sample keeps the file as it is, content and all\n";
            return kExitIncomplete;
        }
        return kExitReported;
    } catch (const container::ReadError& error) {
        line(filePath) << "cannot be read: " << error.what() << "\n";
        return kExitNotReported;
    }
}

}  // namespace strovanik::cli
