// The public library's merge of shards: the records' merge, its output and
// messages kept as texts.
#include "encounter/merge.h"

#include <sstream>
#include <utility>

#include "records/merge.h"

namespace encounter {

MergeResult MergeShards(const std::vector<std::string>& files) {
  std::ostringstream out, err;
  std::vector<std::string> args;
  // A file whose name begins with "--" is still a file.
  for (const std::string& f : files) args.push_back(f.rfind("--", 0) == 0 ? "./" + f : f);
  MergeResult result;
  lab::MergeReport report;
  result.status = lab::MergeShards(args, out, err, &report);
  result.untrusted = report.untrusted;
  result.untrusted_tests = std::move(report.untrusted_tests);
  result.csv = out.str();
  result.messages = err.str();
  return result;
}

}  // namespace encounter
