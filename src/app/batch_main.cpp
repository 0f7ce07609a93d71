// encounter-batch: one series of tests without windows, results as CSV.
#include <exception>
#include <new>
#include <system_error>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "records/signals.h"
#include "records/fd_stream.h"

namespace {

// Standard output and error on writers that give up on a stalled reader
// once SIGINT or SIGTERM arrives; standard output lets only whole lines out
// after a stop. The streams get their own buffers back before the end.
class StandardStreams {
 public:
  StandardStreams() : out_(1, true), err_(2) {
    old_out_ = std::cout.rdbuf(&out_);
    old_err_ = std::cerr.rdbuf(&err_);
  }
  ~StandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(old_out_);
    std::cerr.rdbuf(old_err_);
  }

 private:
  lab::FdStreamBuf out_, err_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  lab::InstallStopHandlers();
  StandardStreams streams;
  // Caught here, so that the stack unwinds and no temporary file outlives
  // an unforeseen failure (out of memory, say).
  try {
    return lab::RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "encounter-batch: out of memory\n";
    return 1;
  } catch (const std::system_error& e) {  // a thread of the program's own
    std::cerr << "encounter-batch: cannot start a thread: " << e.code().message() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "encounter-batch: " << e.what() << '\n';
    return 2;
  }
}
