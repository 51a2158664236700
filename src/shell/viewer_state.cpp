#include "shell/viewer_state.h"

#include <algorithm>

#include "report/analysis.h"

namespace strovanik::shell {

void SplitFileName(ViewerState& state) {
    const std::string& path = state.nameScratch;
    const std::string_view bare = report::bareFileName(path);
    const std::size_t folderLength = path.size() - bare.size();
    state.scratchLength = static_cast<std::int32_t>(std::min<std::size_t>(path.size(), INT32_MAX));
    state.scanPosition = static_cast<std::int32_t>(std::min<std::size_t>(folderLength, INT32_MAX));
    state.splitCounter = static_cast<std::int32_t>(std::count_if(
        path.begin(), path.begin() + static_cast<std::ptrdiff_t>(folderLength),
        [&](char c) { return report::kPathSeparators.find(c) != std::string_view::npos; }));
    state.nameScratch = std::string(bare);
}

}  // namespace strovanik::shell
