#include "support/file_change.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace strovanik::testing {

namespace fs = std::filesystem;

namespace {

AviPlan otherPlan() {
    AviPlan other;
    other.main.width = 640;
    other.main.height = 480;
    return other;
}

bool changeOnPosix([[maybe_unused]] const fs::path& path, [[maybe_unused]] FileChange change) {
#ifdef _WIN32
    return false;
#else
    switch (change) {
        case FileChange::ReplacedByFifo:
            fs::remove(path);
            return ::mkfifo(path.c_str(), 0600) == 0;
        case FileChange::ReplacedByLinkToDevice:
            fs::remove(path);
            fs::create_symlink("/dev/zero", path);
            return true;
        case FileChange::MadeUnreadable:
            if (::geteuid() == 0) return false;  // root reads everything
            fs::permissions(path, fs::perms::none);
            return true;
        default:
            return false;
    }
#endif
}

}  // namespace

bool changeFile(const fs::path& path, FileChange change) {
    switch (change) {
        case FileChange::Deleted:
            fs::remove(path);
            return true;
        case FileChange::ReplacedByAvi:
            writeFile(path, buildAvi(otherPlan()));
            return true;
        case FileChange::ReplacedByAsf:
            writeFile(path, Bytes{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0, 0});
            return true;
        case FileChange::Shrunk:
            fs::resize_file(path, 150);
            return true;
        case FileChange::Emptied:
            fs::resize_file(path, 0);
            return true;
        case FileChange::ReplacedByFolder:
            fs::remove(path);
            fs::create_directory(path);
            return true;
        case FileChange::ReplacedByFifo:
        case FileChange::ReplacedByLinkToDevice:
        case FileChange::MadeUnreadable:
            return changeOnPosix(path, change);
    }
    return false;
}

}  // namespace strovanik::testing
