#pragma once

// The one way the program puts a written file in place. The bytes go to a temporary file
// beside the target, on the same file system, and only a complete file is renamed over
// the target; a failed or abandoned write removes the temporary file and leaves whatever
// was there before. A replaced file keeps its permissions; a new one gets the usual ones
// (0666 less the umask).

#include <cstdio>
#include <string>
#include <string_view>

namespace quendrolix {

class AtomicFile {
 public:
  enum class TempName {
    kHidden,      // ".NAME.XXXXXX.new" beside the target, unique
    kPartSuffix,  // "PATH.part": a name other programs and users may look for
  };

  AtomicFile() = default;
  explicit AtomicFile(const std::string& path, TempName name = TempName::kHidden) {
    Open(path, name);
  }
  ~AtomicFile() { Discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for `path` (empty). False when the folder refuses it;
  // error() says why.
  bool Open(const std::string& path, TempName name = TempName::kHidden);
  bool ok() const { return !temp_.empty(); }
  const std::string& path() const { return path_; }
  // Where to write until Commit; empty when Open failed.
  const std::string& tempPath() const { return temp_; }
  // The errno of the last failure (0 when none).
  int error() const { return error_; }
  // Flush the file to the disk before it is renamed (settings and projects ask for it).
  void SetSync(bool sync) { sync_ = sync; }

  // The temporary file as a stdio stream, opened with `mode` ("wb", or "w+b" to read
  // back) on first use and owned here; null when it cannot be opened.
  std::FILE* Stream(const char* mode = "wb");
  // Writes all `size` bytes to Stream(); false when that fails.
  bool Write(const void* data, size_t size);

  // Closes the stream (when one is open), flushes, and renames the temporary file over
  // the target. False when any step fails: the temporary file is then removed and the
  // target left as it was.
  bool Commit();
  // Gives up: the stream is closed and the temporary file removed.
  void Discard();

  // The whole of `bytes` into `path` through a temporary file (flushed to the disk with
  // `sync`). False on failure, `error` (when given) saying why.
  static bool WriteWhole(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr, bool sync = false);

 private:
  bool Fail(int code);

  std::string path_;
  std::string temp_;
  std::FILE* stream_ = nullptr;
  unsigned mode_ = 0;  // permissions to give the file; 0 = leave as created
  bool sync_ = false;
  bool streamFailed_ = false;
  int error_ = 0;
};

}  // namespace quendrolix
