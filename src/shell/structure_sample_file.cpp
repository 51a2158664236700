#include "shell/structure_sample_file.h"

#include <array>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "container/container_kind.h"
#include "container/file_replacement.h"
#include "container/file_source.h"
#include "container/structure_sample.h"
#include "container/text_encoding.h"

namespace strovanik::shell {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kAviEnding = ".avi";
constexpr std::string_view kSampleEnding = "_structure.avi";
constexpr std::string_view kRepairedEnding = "_repaired.avi";

bool endsWithAvi(std::string_view name) {
    if (name.size() < kAviEnding.size()) return false;
    const std::string_view ending = name.substr(name.size() - kAviEnding.size());
    for (std::size_t i = 0; i < ending.size(); ++i) {
        const char c = ending[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kAviEnding[i]) return false;
    }
    return true;
}

// The bare name with `ending` in place of its ".avi", or after it.
std::string withEnding(std::string_view bareName, std::string_view ending) {
    if (endsWithAvi(bareName)) bareName.remove_suffix(kAviEnding.size());
    return std::string(bareName) + std::string(ending);
}

}  // namespace

std::string structureSampleName(std::string_view bareName) {
    return withEnding(bareName, kSampleEnding);
}

std::string repairedCopyName(std::string_view bareName) {
    return withEnding(bareName, kRepairedEnding);
}

bool isSameFile(std::string_view utf8A, std::string_view utf8B) {
    return container::sameFile(utf8A, utf8B);
}

StructureSampleResult writeStructureSampleFile(std::string_view sourcePath,
                                               std::string_view samplePath) {
    using Status = StructureSampleResult::Status;
    StructureSampleResult result;
    auto opened = container::FileSource::open(sourcePath);
    if (opened.status == container::FileSource::OpenStatus::Missing) {
        result.status = Status::SourceMissing;
        return result;
    }
    if (opened.status != container::FileSource::OpenStatus::Opened) {
        result.status = Status::SourceUnreadable;
        result.problem = opened.reason;
        return result;
    }
    container::FileSource& source = *opened.source;
    try {
        std::array<std::uint8_t, 12> first{};
        container::readPadded(source, 0, first);
        if (container::recogniseContainer(first).kind != container::ContainerKind::Avi) {
            result.status = Status::NotAvi;
            return result;
        }
        container::SampleOutcome outcome;
        if (!container::replaceFileWithStructureSample(samplePath, source, outcome,
                                                       result.problem)) {
            result.status = Status::Unwritable;
            return result;
        }
        result.status = Status::Written;
        result.keptAsItIsFrom = outcome.keptAsItIsFrom;
    } catch (const container::ReadError& error) {
        result.status = Status::SourceUnreadable;
        result.problem = error.what();
    }
    return result;
}

}  // namespace strovanik::shell
