#pragma once

#include <string>
#include <string_view>

namespace quendrolix {

// Replaces the file at `path` with `bytes` so that a reader never sees a half-written
// file: the bytes go to a temporary file in the same folder, are flushed to disk, and
// the temporary file is renamed over the target only when all of that succeeded. On any
// failure the old file is left as it was, the temporary file is removed, false is
// returned and `error` (when given) says why. An existing target keeps its permissions.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file into `bytes`; false (and `bytes` empty) when it cannot be opened
// or read, a folder included.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace quendrolix
