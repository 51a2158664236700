#include <windows.h>

#include "shell/saved_text_encoding.h"

namespace strovanik::shell {

// The ANSI code page when it can carry a Korean report (949, or UTF-8 as 65001); on any other
// it could not, so the report is saved in CP949, the code page it was written for.
SavedTextEncoding systemSavedTextEncoding() {
    return GetACP() == CP_UTF8 ? SavedTextEncoding::Utf8 : SavedTextEncoding::Cp949;
}

}  // namespace strovanik::shell
