#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The window's structure sample: the same file the command line's --structure-sample writes,
// through the same writer and the same temporary file renamed into place.
namespace strovanik::shell {

// The name the save dialog proposes: the bare name with "_structure.avi" in place of its
// ".avi" (in any case), or after the whole name when it has no such ending.
std::string structureSampleName(std::string_view bareName);
// The same with "_repaired.avi", for a repaired copy.
std::string repairedCopyName(std::string_view bareName);

// Whether the two paths name one file, through links and other spellings.
bool isSameFile(std::string_view utf8A, std::string_view utf8B);

struct StructureSampleResult {
    enum class Status {
        Written,           // complete; `keptAsItIsFrom` may say where the structure was lost
        SourceMissing,     // the file being analysed is gone
        SourceUnreadable,  // it cannot be opened or read: `problem` says why
        NotAvi,            // it is no longer an AVI file
        Unwritable,        // the sample cannot be written: `problem` says why
    };
    Status status = Status::Unwritable;
    std::string problem;  // a few English words from the system
    std::optional<std::int64_t> keptAsItIsFrom;
};

// Writes the structure sample of the AVI file at `sourcePath` to `samplePath`, replacing a file
// of that name whole. The caller has made sure that the two name different files.
StructureSampleResult writeStructureSampleFile(std::string_view sourcePath,
                                               std::string_view samplePath);

}  // namespace strovanik::shell
