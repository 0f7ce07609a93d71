#include "records/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "records/texts.h"

namespace lab {

namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links (a dangling one names the file to be made).
bool FollowLinks(std::string path, std::string* target, std::string* error) {
  for (int hops = 0; hops < 40; ++hops) {
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

}  // namespace

bool ReplacingFile::Open(const std::string& path, std::string* error) {
  Discard();
  path_ = path;
  const std::string what = "cannot write " + Echo(path) + ": ";
  if (path.empty() || path.back() == '/') {
    *error = what + "it names no file";
    return false;
  }
  std::string why;
  if (!FollowLinks(path, &target_, &why)) {
    *error = what + why;
    return false;
  }
  struct stat st {};
  replaces_ = stat(target_.c_str(), &st) == 0;
  if (replaces_) {
    if (!S_ISREG(st.st_mode)) {
      *error = what + "it is not a regular file (write to a regular file or a new name)";
      return false;
    }
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode_ = 0666 & ~mask;
  }
  const std::string dir = DirectoryOf(target_);
  std::string base = target_.substr(target_.rfind('/') == std::string::npos ? 0 : target_.rfind('/') + 1);
  if (base.size() > 200) base.resize(200);
  std::string name = dir + "/." + base + ".partial-XXXXXX";
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    *error = what + std::strerror(errno);
    return false;
  }
  temp_ = name;
  return true;
}

bool ReplacingFile::Write(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReplacingFile::Commit(std::string* error) {
  const std::string what = "cannot write " + Echo(path_) + ": ";
  if (replaces_ && fchown(fd_, owner_, group_) != 0) {
    // Only the owner's own files or root: a file of another owner keeps ours.
  }
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0) {
    *error = what + std::strerror(errno);
    Discard();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0 || rename(temp_.c_str(), target_.c_str()) != 0) {
    *error = what + std::strerror(errno);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  // The rename itself lasts once the directory is on disk.
  const int dir = open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

void ReplacingFile::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace lab
