#include "shell/header_sample.h"

#include <algorithm>
#include <vector>

#include "container/file_source.h"
#include "container/file_replacement.h"

namespace strovanik::shell {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::optional<std::string> headerSamplePath(std::string_view sourcePath) {
    // Walk back over four UTF-8 characters.
    std::size_t cut = sourcePath.size();
    for (int removed = 0; removed < 4; ++removed) {
        if (cut == 0) return std::nullopt;
        --cut;
        while (cut > 0 && isContinuationByte(sourcePath[cut])) --cut;
    }
    return std::string(sourcePath.substr(0, cut)) + "HDR.avi";
}

HeaderSampleStatus writeHeaderSample(std::string_view sourcePath, std::string_view samplePath,
                                     std::array<std::uint8_t, 4>& firstWord) {
    std::vector<std::uint8_t> sample(static_cast<std::size_t>(kHeaderSampleBytes), 0);
    {
        auto opened = container::FileSource::open(sourcePath);
        if (opened.status != container::FileSource::OpenStatus::Opened) {
            return HeaderSampleStatus::SourceUnreadable;
        }
        try {
            container::readPadded(*opened.source, 0, sample);
        } catch (const container::ReadError&) {
            return HeaderSampleStatus::SourceUnreadable;
        }
    }
    std::string problem;
    const std::string_view bytes(reinterpret_cast<const char*>(sample.data()), sample.size());
    if (!container::replaceFileContents(samplePath, bytes, problem)) {
        return HeaderSampleStatus::SampleUnwritable;
    }
    std::copy_n(sample.begin(), firstWord.size(), firstWord.begin());
    return HeaderSampleStatus::Written;
}

}  // namespace strovanik::shell
