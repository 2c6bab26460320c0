#include "project/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

// Opens a new, unique file beside the target; -1 when the folder refuses it.
int CreateTemporaryBeside(const fs::path& target, std::string& tempPath) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::random_device seed;
  std::mt19937 random(seed());
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tag;
    for (int i = 0; i < 6; ++i) tag += kDigits[random() % 36];
    fs::path candidate = folder / ("." + target.filename().string() + "." + tag + ".new");
    // 0666 lets the process's umask decide, as for any newly created file.
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempPath = candidate.string();
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool Fail(std::string* error, const std::string& what, int code) {
  if (error) *error = what + ": " + std::strerror(code);
  errno = code;
  return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  if (path.empty()) return Fail(error, "no file name", ENOENT);
  std::string tempPath;
  int fd = CreateTemporaryBeside(fs::path(path), tempPath);
  if (fd < 0) return Fail(error, "cannot create a file beside " + path, errno);

  auto abandon = [&](const std::string& what, int code) {
    if (fd >= 0) ::close(fd);
    ::unlink(tempPath.c_str());
    return Fail(error, what, code);
  };

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);

  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return abandon("cannot write " + tempPath, errno);
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (::fsync(fd) != 0) return abandon("cannot flush " + tempPath, errno);
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return abandon("cannot close " + tempPath, errno);
  if (::rename(tempPath.c_str(), path.c_str()) != 0)
    return abandon("cannot replace " + path, errno);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  bool ok = !std::ferror(file);
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace quendrolix
