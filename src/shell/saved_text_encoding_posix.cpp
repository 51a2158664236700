#include <langinfo.h>

#include "shell/saved_text_encoding.h"

namespace strovanik::shell {

// The program sets the locale from the environment at start (the Qt application does it), so
// the character set here is the user's.
SavedTextEncoding systemSavedTextEncoding() {
    const char* codeset = nl_langinfo(CODESET);
    return encodingForCharset(codeset != nullptr ? codeset : "");
}

}  // namespace strovanik::shell
