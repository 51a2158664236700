#include "cli/collection.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "container/text_encoding.h"

namespace strovanik::cli {

namespace fs = std::filesystem;

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool hasAviExtension(std::string_view name) {
    constexpr std::string_view kExtension = ".avi";
    if (name.size() < kExtension.size()) return false;
    const std::string_view tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char a, char b) { return lowerAscii(a) == b; });
}

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(container::pathFromUtf8(path), error);
}

FolderFiles aviFilesInFolder(const std::string& folder, bool recursive) {
    FolderFiles found;
    // A worklist rather than recursion: the depth of a tree cannot exhaust the stack, and
    // the order of the walk does not matter since the files are sorted at the end.
    std::vector<fs::path> pending{container::pathFromUtf8(folder)};
    while (!pending.empty()) {
        const fs::path current = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        fs::directory_iterator it(current, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            const fs::directory_entry& entry = *it;
            std::error_code typeError;
            // The types come from the listing itself where the file system gives them, so
            // that a folder of many files costs no look-up of each name.
            const bool link = entry.is_symlink(typeError);
            if (!link && entry.is_directory(typeError)) {
                if (recursive) pending.push_back(entry.path());
                continue;
            }
            if (!hasAviExtension(container::pathToUtf8(entry.path().filename()))) continue;
            if (link && entry.is_directory(typeError)) continue;
            found.files.push_back(container::pathToUtf8(entry.path()));
        }
        if (error) {
            found.problems.push_back(container::pathToUtf8(current) +
                                     ": cannot be listed: " + error.message());
        }
    }
    std::sort(found.files.begin(), found.files.end());
    return found;
}

PathFeed::PathFeed(std::vector<std::string> files, std::istream* list, char separator)
    : files_(std::move(files)), list_(list), separator_(separator) {}

std::optional<std::string> PathFeed::next() {
    if (handedOut_ < files_.size()) return std::move(files_[handedOut_++]);
    if (list_ == nullptr) return std::nullopt;
    std::string path;
    while (std::getline(*list_, path, separator_)) {
        if (separator_ == '\n' && !path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) return path;
    }
    return std::nullopt;
}

}  // namespace strovanik::cli
