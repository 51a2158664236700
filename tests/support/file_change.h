#pragma once

#include <filesystem>

#include "support/avi_writer.h"

// What can happen to a file between its load and a later analysis, made to happen: the fault
// tests of the core and of the window go through the same changes.
namespace strovanik::testing {

enum class FileChange {
    Deleted,
    ReplacedByAvi,  // another AVI file, 640 × 480
    ReplacedByAsf,
    Shrunk,  // cut inside its records
    Emptied,
    ReplacedByFolder,
    ReplacedByFifo,
    ReplacedByLinkToDevice,  // a link to /dev/zero
    MadeUnreadable,
};

// Changes the AVI file at `path`; false when the change cannot be made on this system (no
// FIFOs or device links on Windows, no unreadable file for root).
bool changeFile(const std::filesystem::path& path, FileChange change);

}  // namespace strovanik::testing
