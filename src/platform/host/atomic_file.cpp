#include "platform/host/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

// 0666 lets the process's umask decide, as for any newly created file.
int CreateExclusive(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

}  // namespace

bool AtomicFile::Open(const std::string& path, TempName name) {
  Discard();
  path_ = path;
  error_ = 0;
  streamFailed_ = false;
  if (path.empty()) return Fail(ENOENT);
  int fd = -1;
  std::string candidate;
  if (name == TempName::kPartSuffix) {
    candidate = path + ".part";
    // A leftover of an earlier run that died on its way is ours to replace.
    ::unlink(candidate.c_str());
    fd = CreateExclusive(candidate);
  } else {
    const fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::random_device seed;
    std::mt19937 random(seed());
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      std::string tag;
      for (int i = 0; i < 6; ++i) tag += kDigits[random() % 36];
      candidate = (folder / ("." + target.filename().string() + "." + tag + ".new")).string();
      fd = CreateExclusive(candidate);
      if (fd < 0 && errno != EEXIST) break;
    }
  }
  if (fd < 0) return Fail(errno ? errno : EEXIST);
  ::close(fd);
  temp_ = candidate;
  struct stat old {};
  mode_ = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0;
  return true;
}

std::FILE* AtomicFile::Stream(const char* mode) {
  if (!stream_ && !temp_.empty()) {
    stream_ = std::fopen(temp_.c_str(), mode);
    if (!stream_) Fail(errno);
  }
  return stream_;
}

bool AtomicFile::Write(const void* data, size_t size) {
  std::FILE* out = Stream();
  if (!out) return false;
  if (size > 0 && std::fwrite(data, 1, size, out) != size) {
    streamFailed_ = true;
    return Fail(errno ? errno : EIO);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (temp_.empty()) return false;
  bool ok = !streamFailed_;
  if (stream_) {
    ok = std::fflush(stream_) == 0 && ok;
    if (ok && sync_) ok = ::fsync(::fileno(stream_)) == 0;
    ok = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
  } else if (ok && sync_) {
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
  }
  if (ok && mode_ != 0) ::chmod(temp_.c_str(), mode_);
  if (ok) ok = ::rename(temp_.c_str(), path_.c_str()) == 0;
  if (!ok) {
    Fail(errno ? errno : EIO);
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool AtomicFile::Fail(int code) {
  error_ = code;
  return false;
}

bool AtomicFile::WriteWhole(const std::string& path, std::string_view bytes, std::string* error,
                            bool sync) {
  AtomicFile file;
  file.SetSync(sync);
  const bool ok = file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
  if (!ok && error)
    *error = std::string(file.ok() || file.error() == 0 ? "cannot write " : "cannot create ") +
             path + ": " + std::strerror(file.error() ? file.error() : EIO);
  return ok;
}

}  // namespace quendrolix
