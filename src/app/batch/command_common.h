// What the batch runner's two commands (a series, a map) share: the scenario
// and options from the command line, messages, exit statuses, and the files
// that appear only when the run is complete.
#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/batch/batch_options.h"
#include "encounter/encounter.h"
#include "records/replacing_file.h"

namespace lab {

inline constexpr const char* kMe = "encounter-batch: ";

// An engine's refusal as the command line prints it: its option names
// instead of the request's fields, each line after the program's name.
void PrintRefusal(std::ostream& err, const std::string& text);

// The status of a run that stopped early: the signal's, or 1 (with a
// message) for output that could not be written.
int StoppedStatus(std::ostream& err);

// A command line refused before anything runs: its fault after the program's
// name (and the command's, "map: "), status 2.
int CommandLineRefused(std::ostream& err, const std::string& command, const std::string& error);

// The status after a help text or a listing was written to out (flushed
// here): 0, also when the reader closed the pipe early (as `| head` does,
// quietly), or StoppedStatus for any other failed write.
int ListingStatus(std::ostream& out, std::ostream& err);

// The files of a run besides standard output, by option: each is checked and
// its temporary made before the first step, and all appear together once the
// run is complete. The first named "--output", if given, takes the CSV.
class OutputFiles {
 public:
  // (option, file name) pairs; a name left empty is not written.
  explicit OutputFiles(std::vector<std::pair<std::string, std::optional<std::string>>> files);

  // Opens every file and refuses two that are one (or the file standard
  // output goes to, when it is used); false with a message on err.
  bool Open(std::ostream& err);
  // Where the CSV goes: the file of --output, or out.
  std::ostream& Csv(std::ostream& out);
  // The contents of the file of an option (not --output); false with a message.
  bool Write(const std::string& option, const std::string& data, std::ostream& err);
  // Lets every file appear; returns the exit status (1 when one could not).
  int Commit(std::ostream& err);

 private:
  struct File {
    File(std::string o, std::optional<std::string> n) : option(std::move(o)), name(std::move(n)) {}
    std::string option;
    std::optional<std::string> name;
    ReplacingFile file;
  };
  std::deque<File> files_;  // a ReplacingFile stays where it was made
};

}  // namespace lab
