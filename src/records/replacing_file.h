// A file that appears whole under its name or not at all: written under a
// temporary name in the target's directory, synced, given the mode of the
// file it replaces, and renamed over it. The directory is opened once, at
// the start: renamed or moved during the run, it still receives the file. A symbolic link is followed to its
// target; anything there that is not a regular file (a device, a FIFO, a
// directory) is refused without being opened, so nothing blocks or gets
// replaced, and the target is looked at again just before the rename: only
// a regular file or a name still new is ever replaced. The temporary file
// goes away on every way out but a commit.
//
// A name that stands for a stream the program already has open (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one) is written into
// that stream, so that a redirected log is added to, never replaced.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "records/fd_stream.h"

namespace lab {

// Where a target lies: an existing file by device and inode, a new name by
// its directory's device and inode and the name in it.
struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  std::string name;  // for a new name only
  bool known = false;
  bool stream = false;  // a stream the program has open
  bool operator==(const FileIdentity& o) const {
    return known && o.known && dev == o.dev && ino == o.ino && name == o.name;
  }
};

// The identity of whatever descriptor fd is open on.
FileIdentity IdentityOfDescriptor(int fd);

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile() { Discard(); }

  // Checks the target and creates the temporary file (or finds the stream
  // the name stands for); false with a one-line reason in *error.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const { return fd_ >= 0 || stream_fd_ >= 0; }
  bool IsStream() const { return stream_fd_ >= 0; }
  const std::string& Name() const { return path_; }
  const FileIdentity& Identity() const { return identity_; }

  // Where the text goes: the temporary file or the stream.
  std::ostream& Stream() { return stream_; }
  // Writes all of data; false (errno set) when the disk or stream refuses.
  bool Write(std::string_view data);
  // Flushes, syncs and renames; false with *error (the temporary file removed).
  bool Commit(std::string* error);
  void Discard();

 private:
  bool CheckTargetBeforeRename(std::string* why) const;
  std::string path_, target_;
  std::string base_, temp_;  // the target's name and the temporary one, in the folder dir_fd_
  int fd_ = -1, stream_fd_ = -1, dir_fd_ = -1;
  unsigned mode_ = 0644;
  bool replaces_ = false;
  unsigned owner_ = 0, group_ = 0;
  FileIdentity identity_;
  FdStream stream_{-1, true};
};

// A named output of the program, for ClashingTargets.
struct NamedTarget {
  std::string option;  // "--output"
  const ReplacingFile* file;
};

// Two outputs that are one file, or an output that is the file behind
// standard output (when used) or standard error, which the rename would take
// away: the one-line reason, or "" when every output has a file of its own.
// Streams are written into, not replaced: two of them never clash.
std::string ClashingTargets(const std::vector<NamedTarget>& outputs, bool stdout_used);

}  // namespace lab
