#include "image/image_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace quendrolix {

FileHandle OpenMemory(const uint8_t* data, size_t size) {
  if (!data || size == 0) return nullptr;
  return FileHandle(fmemopen(const_cast<uint8_t*>(data), size, "rb"));
}

int64_t FileLength(std::FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0) return -1;
  return end;
}

bool ReadExact(std::FILE* f, void* buffer, size_t n) {
  return n == 0 || std::fread(buffer, 1, n, f) == n;
}

bool ReadRest(std::FILE* f, std::vector<uint8_t>& bytes, size_t maxBytes) {
  bytes.clear();
  if (!f) return false;
  const long here = std::ftell(f);
  const int64_t length = FileLength(f);
  if (here < 0 || length < here || static_cast<uint64_t>(length - here) > maxBytes) return false;
  try {
    bytes.resize(static_cast<size_t>(length - here));
  } catch (const std::exception&) {
    return false;
  }
  return ReadExact(f, bytes.data(), bytes.size());
}

std::string UpperExtension(const std::string& path) {
  std::string name = path;
  size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}

}  // namespace quendrolix
