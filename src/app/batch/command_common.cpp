#include "app/batch/command_common.h"

#include <cerrno>
#include <cstring>

#include "records/signals.h"
#include "records/texts.h"
#include "series/request_options.h"

namespace lab {

void PrintRefusal(std::ostream& err, const std::string& text) {
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    err << kMe << InCommandLineWords(text.substr(start, end - start)) << '\n';
  err << kMe << InCommandLineWords(text.substr(start)) << '\n';
}

int StoppedStatus(std::ostream& err) {
  if (const int signal = StopSignal()) return 128 + signal;  // SIGPIPE too: the reader left
  err << kMe << "cannot write the output: " << std::strerror(errno ? errno : EIO) << '\n';
  return 1;
}

int CommandLineRefused(std::ostream& err, const std::string& command, const std::string& error) {
  err << kMe << command << error << '\n';
  return 2;
}

int ListingStatus(std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return 0;
  if (errno == EPIPE) return 0;  // the reader had seen what it wanted
  return StoppedStatus(err);
}

OutputFiles::OutputFiles(std::vector<std::pair<std::string, std::optional<std::string>>> files) {
  for (auto& [option, name] : files) files_.emplace_back(option, name);
}

bool OutputFiles::Open(std::ostream& err) {
  std::string error;
  std::vector<NamedTarget> named;
  bool stdout_used = true;
  for (File& f : files_) {
    if (!f.name) continue;
    if (!f.file.Open(*f.name, &error)) {
      err << kMe << error << '\n';
      return false;
    }
    named.push_back({f.option, &f.file});
    if (f.option == "--output") stdout_used = false;
  }
  // Two outputs in one file, or one in the file of a redirected stream,
  // would destroy each other.
  error = ClashingTargets(named, stdout_used);
  if (!error.empty()) {
    err << kMe << error << '\n';
    return false;
  }
  return true;
}

std::ostream& OutputFiles::Csv(std::ostream& out) {
  for (File& f : files_)
    if (f.option == "--output" && f.name) return f.file.Stream();
  return out;
}

bool OutputFiles::Write(const std::string& option, const std::string& data, std::ostream& err) {
  for (File& f : files_) {
    if (f.option != option || !f.name) continue;
    if (!data.empty() && f.file.Write(data)) return true;
    err << kMe << "cannot write " << Echo(f.file.Name()) << ": "
        << (data.empty() ? "the picture cannot be encoded" : std::strerror(errno)) << '\n';
    return false;
  }
  return true;
}

int OutputFiles::Commit(std::ostream& err) {
  std::string error;
  for (File& f : files_) {
    if (f.file.IsOpen() && !f.file.Commit(&error)) {
      err << kMe << error << '\n';
      return 1;
    }
  }
  return 0;
}

}  // namespace lab
