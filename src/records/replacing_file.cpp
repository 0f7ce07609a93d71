#include "records/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <ranges>
#include <vector>

#include "records/texts.h"

namespace lab {

namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The descriptor a name stands for (/dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N, /proc/PID/fd/N with our own PID), or -1. Following such a
// link would lead to the file behind the stream, and replacing that file
// would destroy what the stream wrote.
int StreamOfName(std::string path) {
  for (std::size_t at; (at = path.find("//")) != std::string::npos;) path.erase(at, 1);
  for (std::size_t at; (at = path.find("/./")) != std::string::npos;) path.erase(at, 2);
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                   std::string("/proc/thread-self/fd/"),
                                   "/proc/" + std::to_string(getpid()) + "/fd/"}) {
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string number = path.substr(prefix.size());
    if (number.empty() || number.size() > 9 ||
        number.find_first_not_of("0123456789") != std::string::npos)
      return -1;
    return std::stoi(number);
  }
  return -1;
}

// Follows symbolic links (a dangling one names the file to be made) up to
// a regular name or a stream's.
bool FollowLinks(std::string path, std::string* target, int* stream, std::string* error) {
  for (int hops = 0; hops < 40; ++hops) {
    *stream = StreamOfName(path);
    if (*stream >= 0) return true;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        *error = std::strerror(errno);
        return false;
      }
      *target = path;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      *target = path;
      return true;
    }
    std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
    const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) {
      *error = "the symbolic link cannot be read";
      return false;
    }
    std::string link(buf.data(), static_cast<std::size_t>(n));
    path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
  }
  *error = "too many symbolic links";
  return false;
}

// A new file ".NAME.partial-XXXXXX" in the folder, readable and writable by
// its owner only: its descriptor (its name in *temp), or -1 with errno set.
int MakeTemporary(int dir, std::string base, std::string* temp) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  if (base.size() > 200) base.resize(200);
  std::random_device random;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = "." + base + ".partial-";
    for (int k = 0; k < 6; ++k) name += kLetters[random() % (sizeof kLetters - 1)];
    const int fd = openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) {
      if (fd >= 0) *temp = name;
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

FileIdentity IdentityOfDescriptor(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return {};
  return {st.st_dev, st.st_ino, "", true, false};
}

bool ReplacingFile::Open(const std::string& path, std::string* error) {
  Discard();
  path_ = path;
  identity_ = {};
  const std::string what = "cannot write " + Echo(path) + ": ";
  if (path.empty() || path.back() == '/') {
    *error = what + "it names no file";
    return false;
  }
  std::string why;
  if (!FollowLinks(path, &target_, &stream_fd_, &why)) {
    *error = what + why;
    return false;
  }
  if (stream_fd_ >= 0) {
    identity_ = IdentityOfDescriptor(stream_fd_);
    identity_.stream = true;
    stream_.Reset(stream_fd_);
    return true;
  }
  // Everything from here on is relative to the folder opened now: should the
  // folder be renamed or moved during the run, the output still ends up in
  // it, under its name there, and no temporary file is left anywhere.
  dir_fd_ = open(DirectoryOf(target_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd_ < 0) {
    *error = what + std::strerror(errno);
    return false;
  }
  base_ = target_.substr(target_.rfind('/') == std::string::npos ? 0 : target_.rfind('/') + 1);
  struct stat st {};
  replaces_ = fstatat(dir_fd_, base_.c_str(), &st, 0) == 0;
  if (replaces_) {
    if (!S_ISREG(st.st_mode)) {
      *error = what + "it is not a regular file (write to a regular file or a new name)";
      Discard();
      return false;
    }
    identity_ = {st.st_dev, st.st_ino, "", true, false};
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else {
    if (fstat(dir_fd_, &st) == 0) identity_ = {st.st_dev, st.st_ino, base_, true, false};
    const mode_t mask = umask(0);
    umask(mask);
    mode_ = 0666 & ~mask;
  }
  fd_ = MakeTemporary(dir_fd_, base_, &temp_);
  if (fd_ < 0) {
    *error = what + std::strerror(errno);
    Discard();
    return false;
  }
  stream_.Reset(fd_);
  return true;
}

bool ReplacingFile::Write(std::string_view data) {
  stream_.write(data.data(), static_cast<std::streamsize>(data.size()));
  stream_.flush();
  return static_cast<bool>(stream_);
}

// Only a regular file, or nothing, may stand at the name now: whatever was
// made there during the run (a FIFO, a device, a link) stays as it is.
bool ReplacingFile::CheckTargetBeforeRename(std::string* why) const {
  struct stat st {};
  if (fstatat(dir_fd_, base_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return true;
    *why = std::strerror(errno);
    return false;
  }
  if (S_ISREG(st.st_mode)) return true;
  *why = std::string(KindOf(st.st_mode)) +
         " appeared at its name during the run; it was left as it is, and nothing written";
  return false;
}

bool ReplacingFile::Commit(std::string* error) {
  const std::string what = "cannot write " + Echo(path_) + ": ";
  auto fail = [&](const std::string& why) {
    *error = what + why;
    Discard();
    return false;
  };
  stream_.flush();
  if (!stream_) return fail(std::strerror(errno ? errno : EIO));
  if (stream_fd_ >= 0) {
    stream_fd_ = -1;
    stream_.Reset(-1);
    return true;
  }
  if (replaces_ && fchown(fd_, owner_, group_) != 0) {
    // Only the owner's own files or root: a file of another owner keeps ours.
  }
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0) return fail(std::strerror(errno));
  stream_.Reset(-1);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return fail(std::strerror(errno));
  // A name that was new is taken only while it still is; anything else is
  // looked at once more just before the rename.
  int renamed = -1;
  if (!replaces_) {
    renamed = renameat2(dir_fd_, temp_.c_str(), dir_fd_, base_.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && errno != EEXIST && errno != EINVAL && errno != ENOSYS)
      return fail(std::strerror(errno));
  }
  if (renamed != 0) {
    std::string why;
    if (!CheckTargetBeforeRename(&why)) return fail(why);
    if (renameat(dir_fd_, temp_.c_str(), dir_fd_, base_.c_str()) != 0) return fail(std::strerror(errno));
  }
  temp_.clear();
  // The rename itself lasts once the folder is on disk.
  const int dir = openat(dir_fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  close(dir_fd_);
  dir_fd_ = -1;
  return true;
}

void ReplacingFile::Discard() {
  stream_.Reset(-1);
  stream_fd_ = -1;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty() && dir_fd_ >= 0) unlinkat(dir_fd_, temp_.c_str(), 0);
  temp_.clear();
  if (dir_fd_ >= 0) close(dir_fd_);
  dir_fd_ = -1;
}

std::string ClashingTargets(const std::vector<NamedTarget>& outputs, bool stdout_used) {
  std::vector<std::pair<std::string, FileIdentity>> seen;
  if (stdout_used) seen.emplace_back("standard output", IdentityOfDescriptor(1));
  seen.emplace_back("standard error", IdentityOfDescriptor(2));
  for (FileIdentity& id : seen | std::views::values) id.stream = true;
  for (const auto& [option, file] : outputs) {
    if (file == nullptr || !file->IsOpen()) continue;
    const FileIdentity& id = file->Identity();
    for (const auto& [other, other_id] : seen) {
      if (id.stream && other_id.stream) continue;
      if (id == other_id)
        return option + " " + Echo(file->Name()) + " is the same file as " +
               (other.rfind("--", 0) == 0 ? other : "the one " + other + " goes to") +
               "; give each output a file of its own";
    }
    seen.emplace_back(option + " " + Echo(file->Name()), id);
  }
  return "";
}

}  // namespace lab
