#include "container/file_replacement.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "container/text_encoding.h"

namespace strovanik::container {

namespace fs = std::filesystem;

namespace {

// A name beside the target that no one else uses: hidden, random so that two windows saving
// into one folder at once cannot meet, and short, so that it fits wherever the target's own
// name fits, however long that is.
fs::path temporaryNameBeside(const fs::path& target) {
    std::random_device random;
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = std::to_string(random()) + std::to_string(random());
        fs::path candidate = folder / (".strovanik-" + suffix + ".part");
        std::error_code ignored;
        if (!fs::exists(fs::symlink_status(candidate, ignored))) return candidate;
    }
    return {};
}

// Puts the written bytes on the disk before the rename makes them the file, so that a crash
// cannot leave an empty file under the user's name.
bool flushToDisk([[maybe_unused]] const fs::path& path) {
#ifdef _WIN32
    return true;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

}  // namespace

bool sameFile(std::string_view utf8A, std::string_view utf8B) {
    std::error_code error;
    const bool same = fs::equivalent(pathFromUtf8(utf8A), pathFromUtf8(utf8B), error);
    return same && !error;
}

bool replaceFileContents(std::string_view utf8Path, std::string_view bytes, std::string& problem) {
    const auto fill = [&](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    };
    return replaceFileWith(utf8Path, fill, std::nullopt, problem);
}

bool replaceFileWith(std::string_view utf8Path, const std::function<bool(std::ostream&)>& fill,
                     std::optional<std::uintmax_t> length, std::string& problem) {
    const fs::path target = container::pathFromUtf8(utf8Path);
    if (utf8Path.empty() || target.filename().empty()) {
        problem = "no file name";
        return false;
    }
    const fs::path temporary = temporaryNameBeside(target);
    if (temporary.empty()) {
        problem = "no free temporary name";
        return false;
    }
    std::error_code error;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            problem = "cannot create a file in that folder";
            return false;
        }
        bool filled = false;
        try {
            filled = fill(out);
        } catch (...) {
            // Whatever stopped the writing, no half-written file is left behind.
            out.close();
            fs::remove(temporary, error);
            throw;
        }
        out.flush();
        if (!filled || !out) {
            out.close();
            fs::remove(temporary, error);
            problem = "cannot write the file (is the disk full?)";
            return false;
        }
    }
    if (length) fs::resize_file(temporary, *length, error);
    if (error) {
        fs::remove(temporary, error);
        problem = "cannot write the file (is the disk full?)";
        return false;
    }
    if (!flushToDisk(temporary)) {
        fs::remove(temporary, error);
        problem = "cannot write the file to the disk";
        return false;
    }
    fs::rename(temporary, target, error);
    if (error) {
        problem = error.message();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace strovanik::container
