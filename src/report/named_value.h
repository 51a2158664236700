#pragma once

#include <optional>
#include <span>
#include <string_view>

// The names an enumeration is spelled by, where a user types them or an output carries them:
// one table per enumeration, which the parser, the help and the writers all read.
namespace strovanik::report {

template <typename T>
struct NamedValue {
    std::string_view name;
    T value;
};

template <typename T>
std::optional<T> valueNamed(std::span<const NamedValue<T>> table, std::string_view name) {
    for (const NamedValue<T>& row : table) {
        if (row.name == name) return row.value;
    }
    return std::nullopt;
}

// The name of `value`, or the empty text for a value the table does not name.
template <typename T>
std::string_view nameOf(std::span<const NamedValue<T>> table, T value) {
    for (const NamedValue<T>& row : table) {
        if (row.value == value) return row.name;
    }
    return {};
}

}  // namespace strovanik::report
