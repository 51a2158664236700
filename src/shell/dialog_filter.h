#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace strovanik::shell {

// One choice of a file dialog's type list: what the list shows, and the names it lets through
// ("*.avi"; several patterns are separated by ";").
struct FilterChoice {
    std::string description;
    std::string pattern;
    friend bool operator==(const FilterChoice&, const FilterChoice&) = default;
};

// Splits the commands' filter text, descriptions and patterns alternating between vertical
// bars ("AVI 파일(*.avi)|*.avi|모든 파일(*.*)|*.*"), into its choices. A description without a
// pattern after it lets every name through.
std::vector<FilterChoice> parseDialogFilter(std::string_view filter);

}  // namespace strovanik::shell
