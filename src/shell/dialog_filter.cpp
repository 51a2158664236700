#include "shell/dialog_filter.h"

namespace strovanik::shell {

std::vector<FilterChoice> parseDialogFilter(std::string_view filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size() && !filter.empty()) {
        const std::size_t bar = filter.find('|', start);
        const std::size_t end = bar == std::string_view::npos ? filter.size() : bar;
        parts.emplace_back(filter.substr(start, end - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    std::vector<FilterChoice> choices;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const bool hasPattern = i + 1 < parts.size() && !parts[i + 1].empty();
        choices.push_back({parts[i], hasPattern ? parts[i + 1] : std::string("*")});
    }
    return choices;
}

}  // namespace strovanik::shell
