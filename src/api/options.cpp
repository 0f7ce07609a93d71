// The public library's table of options: the engine's descriptions, and
// setting an option from its text as the command line reads it.
#include "encounter/options.h"

#include "series/request_options.h"

namespace encounter {

std::vector<OptionInfo> SeriesOptionTable() { return lab::SeriesOptionInfo(); }
std::vector<OptionInfo> MapOptionTable() { return lab::MapOptionInfo(); }

void SetOption(SeriesOptions& options, const std::string& name, const std::string& text) {
  if (std::string why = lab::ReadSeriesOption(options, name, text); !why.empty())
    throw InputError(why);
}

void SetOption(MapAxis& axis, MapOptions& options, const std::string& name, const std::string& text) {
  if (std::string why = lab::ReadMapOption(axis, options, name, text); !why.empty())
    throw InputError(why);
}

}  // namespace encounter
