#include "shell/command_line.h"

namespace strovanik::shell {

std::string pathFromArguments(std::span<const std::string> arguments) {
    std::string path;
    for (const std::string& argument : arguments) {
        if (&argument != arguments.data()) path += ' ';
        path += argument;
    }
    return path;
}

std::string pathFromArgumentText(std::string_view argumentText) {
    if (argumentText.size() >= 2 && argumentText.front() == '"' && argumentText.back() == '"') {
        argumentText = argumentText.substr(1, argumentText.size() - 2);
    }
    return std::string(argumentText);
}

std::string_view argumentTextOf(std::string_view commandLine) {
    std::size_t position = 0;
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t closing = commandLine.find('"', 1);
        position = closing == std::string_view::npos ? commandLine.size() : closing + 1;
    } else {
        position = commandLine.find_first_of(" \t");
        if (position == std::string_view::npos) position = commandLine.size();
    }
    const std::size_t rest = commandLine.find_first_not_of(" \t", position);
    return rest == std::string_view::npos ? std::string_view{} : commandLine.substr(rest);
}

}  // namespace strovanik::shell
