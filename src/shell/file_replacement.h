#pragma once

#include <string>
#include <string_view>

namespace strovanik::shell {

// Writes `bytes` as the whole content of the file at `utf8Path`: first into a new temporary
// file beside it, then renamed into place, so the file is either the old one or the complete
// new one, never half written. An existing file of that name is replaced whole.
// Returns false, with a few English words in `problem`, when the file cannot be written; the
// temporary file is then gone and the old file untouched.
bool replaceFileContents(std::string_view utf8Path, std::string_view bytes, std::string& problem);

}  // namespace strovanik::shell
