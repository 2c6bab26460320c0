#include "platform/host/temp_names.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>

namespace quendrolix {
namespace fs = std::filesystem;

PrivateTempFolder::PrivateTempFolder(const std::string& purpose) {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / ("quendrolix-" + purpose + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data())) path_ = pattern;
}

PrivateTempFolder::~PrivateTempFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path UniqueFileIn(const fs::path& folder, const std::string& stem,
                      const std::string& extension) {
  std::random_device seed;
  std::mt19937 random(seed());
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string tag;
    for (int i = 0; i < 6; ++i) tag += kDigits[random() % 36];
    fs::path candidate = folder / (stem + "-" + tag + extension);
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      ::close(fd);
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace quendrolix
