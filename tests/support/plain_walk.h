#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// A plain walk of an AVI file's movie lists, written for the tests apart from the program's
// own walk: each RIFF in turn, its children, and in each "LIST movi" the chunks one after the
// other, as long as their headers lie inside the file. It reads the file as it goes, so that
// it serves files of any size.
namespace strovanik::testing {

// Calls `chunk(id, dataAt, size)` for every chunk of every movie list, in file order, with the
// size its header gives (the data may run past the end of a cut file).
void walkMovieChunks(const std::filesystem::path& file,
                     const std::function<void(std::string_view id, std::int64_t dataAt,
                                              std::int64_t size)>& chunk);

// The output of a shell command; empty when it cannot be run.
std::string commandOutput(const std::string& command);

// `text` in single quotes for a POSIX shell.
std::string shellQuoted(const std::string& text);

}  // namespace strovanik::testing
