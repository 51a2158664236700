#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace strovanik::shell {

// The window's state for the whole run: one instance, created with the window, never reset.
// Text fields start empty and numbers at zero; the commands overwrite single fields.
struct ViewerState {
    std::string windowCaption;
    std::string filePath;                      // the current file, exactly as it was given
    std::string samplePath;                    // the last header sample written
    std::int32_t lastMessageResult = 0;        // what the last message box of an analysis or a
                                               // header sample returned (always OK)
    std::int32_t riffSize = 0;                 // bytes 5 to 8 of the current file
    std::string dialogFolder;                  // where the file dialogs start: filePath without
                                               // fileName, so with its trailing separator
    std::string dialogFileName;                // the full name the last open or save dialog gave
    std::string nameScratch;                   // working copy of the path in SplitFileName
    std::string fileName;                      // bare name of the current file; empty: none loaded
    std::int64_t fileSize = 0;                 // the real length, measured when the file was loaded
    std::int32_t splitCounter = 0;             // SplitFileName: folder parts removed
    std::int32_t scratchLength = 0;            // SplitFileName: length of the path it split
    std::int32_t scanPosition = 0;             // SplitFileName: 1-based place of the last separator
    std::int32_t runSeconds = 0;               // running time of the last report, whole seconds
    double sizeMegabytes = 0.0;                // file size in megabytes, from the last report
    std::int32_t sampleCounter = 0;            // header sample: bytes copied from the source
    std::array<std::uint8_t, 4> sampleWord{};  // header sample: its first four bytes

    bool fileLoaded() const { return !fileName.empty(); }
};

// Leaves in `nameScratch` the bare name of the path it holds: the text after the last path
// separator ("/"; on Windows "\" as well), however deep the path.
void SplitFileName(ViewerState& state);

}  // namespace strovanik::shell
