#include "app/batch/column_list.h"

#include "encounter/columns.h"

namespace lab {

std::string ColumnTable() {
  std::string t = "| column | unit | type | option | meaning |\n|---|---|---|---|---|\n";
  for (const encounter::ColumnInfo& c : encounter::Columns())
    t += "| " + c.name + " | " + c.unit + " | " + c.type + " | " + c.option + " | " + c.meaning +
         " |\n";
  return t;
}

std::string ColumnsHelp() {
  constexpr std::size_t kIndent = 16, kWidth = 79;
  std::string help;
  for (const encounter::ColumnInfo& c : encounter::Columns()) {
    std::string line = "  " + c.name;
    line += std::string(line.size() < kIndent ? kIndent - line.size() : 1, ' ');
    std::string words = c.option.empty() ? "" : "(" + c.option + ") ";
    words += c.meaning + (c.unit.empty() ? "" : " (" + c.unit + ")");
    // Word by word, each line at most kWidth characters where a word allows.
    std::size_t start = 0;
    bool first = true;
    while (start < words.size()) {
      std::size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      const std::string word = words.substr(start, end - start);
      if (!first && line.size() + 1 + word.size() > kWidth) {
        help += line + '\n';
        line = std::string(kIndent, ' ') + word;
      } else {
        line += (first ? "" : " ") + word;
      }
      first = false;
      start = end + 1;
    }
    help += line + '\n';
  }
  return help;
}

}  // namespace lab
