// An SVG plot as its reader sees it, measured by tests/svg-layout with the
// font it names: its texts, those that reach past its edges, its hatched
// shapes and its margins.
#pragma once

#include <cstdlib>
#include <string>

#include "golden.h"

namespace svg_test {

// The lines of tests/svg-layout for the SVG file; a line naming the failure
// when it could not read it.
inline std::string Seen(const std::string& svg) {
  const std::string seen = svg + ".seen";
  const std::string command =
      "/usr/bin/python3 -X utf8 " LAB_SOURCE_DIR "/tests/svg-layout " + svg + " > " + seen;
  if (std::system(command.c_str()) != 0) return "svg-layout failed on " + svg;
  return golden::Read(seen);
}

// The value after "KEY: ", or a huge one when there is none.
inline double Margin(const std::string& seen, const std::string& key) {
  const auto at = seen.find(key + ": ");
  return at == std::string::npos ? 1e9 : std::stod(seen.substr(at + key.size() + 2));
}

}  // namespace svg_test
