// The options of a request, each once: the field it sets, the command line's
// option, the values it takes and what it means. Reading an option's text,
// checking a request's options and describing them all go through here, so
// that the command line, the library and Python refuse the same values with
// the same words.
#pragma once

#include <string>
#include <vector>

#include "encounter/options.h"

namespace lab {

// The text of an option's value as the command line reads it into the
// options; "" when it takes it, else why not ("lanes takes 1, 2, 4 or 8, not
// "3""). An unknown name is refused too.
std::string ReadSeriesOption(encounter::SeriesOptions& options, const std::string& name,
                             const std::string& text);
std::string ReadMapOption(encounter::MapAxis& axis, encounter::MapOptions& options,
                          const std::string& name, const std::string& text);

// What the options cannot run with, one line per fault naming the field;
// empty when they can run.
std::vector<std::string> SeriesOptionsRefusals(const encounter::SeriesOptions& options);
std::vector<std::string> MapOptionsRefusals(const encounter::MapAxis& axis,
                                            const encounter::MapOptions& options);

// Refusals as one message, a line each.
std::string JoinLines(const std::vector<std::string>& lines);

// The options described, as the public API lists them.
std::vector<encounter::OptionInfo> SeriesOptionInfo();
std::vector<encounter::OptionInfo> MapOptionInfo();

// A message of the engine in the command line's words: a leading option name
// ("lanes takes ...", "y dist2: ...") becomes its option ("--lanes takes ...").
std::string InCommandLineWords(const std::string& message);

}  // namespace lab
