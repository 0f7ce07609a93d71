// Texts the batch runner echoes back: option values and file names in
// messages, and strings in the JSON record of a run.
#pragma once

#include <string>
#include <string_view>

namespace lab {

// The text in double quotes, control characters, quotes and backslashes
// escaped, cut in the middle to about max characters: safe to print on a
// terminal and one line however long or strange the input.
std::string Echo(std::string_view text, std::size_t max = 60);

// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

// The shortest text that reads back to the same double; empty for NaN and
// infinities, which never go into the CSV.
std::string ShortestText(double value);

}  // namespace lab
