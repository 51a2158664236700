#pragma once

#include <span>
#include <string>
#include <string_view>

// The path a file is started with: the whole argument text of the command line is one path,
// so that "Open with", a file dropped on the program and a typed command all work alike.
namespace strovanik::shell {

// Linux: the shell has already split the command line and removed its quotes, so the
// arguments joined by single spaces are the path (a name with spaces typed without quotes
// still opens).
std::string pathFromArguments(std::span<const std::string> arguments);

// Windows: the command line's argument part arrives as one text, and a path with spaces comes
// in double quotes; one pair of enclosing quotes is removed, nothing else.
std::string pathFromArgumentText(std::string_view argumentText);

// Windows: the argument part of a whole command line, as the system hands it to a program:
// the program's name (in quotes or up to the first blank) and the blanks after it removed.
std::string_view argumentTextOf(std::string_view commandLine);

}  // namespace strovanik::shell
