// Texts the batch runner echoes back: option values and file names in
// messages, strings in the JSON record of a run, and its shell command line.
#pragma once

#include <string>
#include <string_view>

namespace lab {

// The text in double quotes, control characters, quotes and backslashes
// escaped, cut in the middle to about max characters: safe to print on a
// terminal and one line however long or strange the input.
std::string Echo(std::string_view text, std::size_t max = 60);

// A JSON string literal. A byte that is not part of UTF-8 is written as the
// lone surrogate \udcXX (XX its value), which ReadJson turns back into that
// byte: the text reads back byte for byte.
std::string JsonString(std::string_view text);

// The text as one word of a POSIX shell: as it is when it holds only
// letters, digits and _ - + . / = : , @ %; else in single quotes, each ' as '\''.
std::string ShellWord(std::string_view text);

// Length of the UTF-8 sequence of one character at text[i] (no surrogates,
// nothing above U+10FFFF, no overlong forms), or 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i);

// The shortest text that reads back to the same double; empty for NaN and
// infinities, which never go into the CSV.
std::string ShortestText(double value);

}  // namespace lab
