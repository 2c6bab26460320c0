#pragma once

// stdio streams that close themselves.

#include <cstdio>
#include <memory>
#include <string>

namespace quendrolix {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen; null for an empty path or when the file cannot be opened.
inline FileHandle OpenFile(const std::string& path, const char* mode) {
  if (path.empty()) return nullptr;
  return FileHandle(std::fopen(path.c_str(), mode));
}

}  // namespace quendrolix
