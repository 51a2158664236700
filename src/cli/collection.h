#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Turning the command line's paths into the list of files to report on: a file stands for
// itself, a folder for the AVI files in it.
namespace strovanik::cli {

// True when `name` ends in ".avi", in any letter case.
bool hasAviExtension(std::string_view name);

struct FolderFiles {
    std::vector<std::string> files;     // sorted by the byte order of their UTF-8 paths
    std::vector<std::string> problems;  // one line each: a folder that could not be listed
};

// The files in `folder` whose names end in ".avi", and with `recursive` those in every
// folder below it. Each path is `folder` joined with the names found under it, so it starts
// as the user typed it. Anything that is not a folder is taken when its name fits, so that
// a broken link or a FIFO named x.avi is reported as unreadable rather than passed over.
// Linked folders met on the way down are not followed: a link back up cannot make the
// walk endless.
FolderFiles aviFilesInFolder(const std::string& folder, bool recursive);

// Whether the path names a folder (following links), for the command-line paths.
bool isFolder(const std::string& path);

// The files of a batch, handed out one at a time: first `files`, then the paths read from
// `list` (if any) as they are asked for, so that a list of any length is never held whole.
// The list holds one path a line, or with `separator` '\0' one path before each NUL; a CR
// before a line's LF belongs to the line end, and empty entries are passed over. Paths from
// the list are taken as they are, like files named on the command line.
class PathFeed {
public:
    PathFeed(std::vector<std::string> files, std::istream* list, char separator);

    std::optional<std::string> next();
    // Whether the list could not be read to its end.
    bool listFailed() const { return list_ != nullptr && list_->bad(); }

private:
    std::vector<std::string> files_;
    std::size_t handedOut_ = 0;
    std::istream* list_;
    char separator_;
};

}  // namespace strovanik::cli
