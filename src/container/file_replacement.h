#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace strovanik::container {

// Writes `bytes` as the whole content of the file at `utf8Path`: first into a new temporary
// file beside it, then renamed into place, so the file is either the old one or the complete
// new one, never half written. An existing file of that name is replaced whole.
// Returns false, with a few English words in `problem`, when the file cannot be written; the
// temporary file is then gone and the old file untouched.
bool replaceFileContents(std::string_view utf8Path, std::string_view bytes, std::string& problem);

// The same, with the content written by `fill` into the temporary file (it returns false when
// it could not write all of it, and may seek: what it skips is zero, a hole where the file
// system has them). With `length` the file is then made exactly that long. An exception from
// `fill` removes the temporary file and goes on up.
bool replaceFileWith(std::string_view utf8Path, const std::function<bool(std::ostream&)>& fill,
                     std::optional<std::uintmax_t> length, std::string& problem);

// Whether the two paths name one file, through links, other spellings and hard links.
bool sameFile(std::string_view utf8A, std::string_view utf8B);

}  // namespace strovanik::container
