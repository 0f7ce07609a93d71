// A file that appears whole under its name or not at all: written under a
// temporary name in the target's directory, synced, given the mode of the
// file it replaces, and renamed over it. A symbolic link is followed to its
// target; anything there that is not a regular file (a device, a FIFO, a
// directory) is refused without being opened, so nothing blocks or gets
// replaced. The temporary file goes away on every way out but a commit.
#pragma once

#include <string>
#include <string_view>

namespace lab {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile() { Discard(); }

  // Checks the target and creates the temporary file; false with a
  // one-line reason in *error.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& TempName() const { return temp_; }

  // Writes all of data; false (errno set) when the disk refuses.
  bool Write(std::string_view data);
  // Syncs and renames; false with *error (the temporary file removed).
  bool Commit(std::string* error);
  void Discard();

 private:
  std::string path_, target_, temp_;
  int fd_ = -1;
  unsigned mode_ = 0644;
  bool replaces_ = false;
  unsigned owner_ = 0, group_ = 0;
};

}  // namespace lab
