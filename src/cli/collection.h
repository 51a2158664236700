#pragma once

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

}  // namespace strovanik::cli
