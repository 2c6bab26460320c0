#pragma once

#include <string>

namespace quendrolix {

// Reads a whole file into `bytes`; false (and `bytes` empty) when it cannot be opened
// or read, a folder included.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace quendrolix
