#pragma once

#include <string>

// What the program says if a fault ever stops it while it reads a file: the file's name, on
// standard error, so that the end of a batch tells which file ended it. Nothing a file holds
// should end the program; this is the last word should it happen all the same.
namespace strovanik::cli {

// Lets a fault (a bad memory access, an overflowed stack, an abort) name the file in hand before
// the program ends with that fault's signal, as it would have without. Call once, early.
// On Windows it does nothing.
void installFaultNote();

// Marks the calling thread as reading `path` while it lives, and gives the thread a stack of
// its own for the note, so that even an overflowed stack can name the file.
class FileInHand {
public:
    explicit FileInHand(const std::string& path);
    ~FileInHand();
    FileInHand(const FileInHand&) = delete;
    FileInHand& operator=(const FileInHand&) = delete;

private:
    const std::string* previous_;
};

}  // namespace strovanik::cli
