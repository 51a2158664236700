#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/json_output.h"

// One row per file for spreadsheets, after RFC 4180: a header row, fields separated by
// commas, CR LF after every row, and a field quoted when it holds a comma, a quote, a line
// break or a space at either end.
namespace strovanik::cli {

// The column names, in order: the file, what went wrong, the texts, every figure, then the
// inspection's verdict and file figures.
const std::vector<std::string_view>& csvColumns();

std::string csvHeaderRow();

// The row of a file from its record: a text as it is, a number as in the JSON, a flag as
// true or false, and a figure that failed or a value the file does not have as an empty
// field.
std::string csvRow(const Record& record);

// One field, quoted when it has to be.
std::string csvField(std::string_view text);

}  // namespace strovanik::cli
