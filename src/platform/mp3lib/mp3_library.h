#pragma once

#include <filesystem>
#include <string>

#include "platform/mp3lib/mp3_encoder_abi.h"

namespace quendrolix {

// The MP3 encoder library, loaded at run time with its five entry points resolved by
// name. All five must be present for the library to count as loaded.
class Mp3Library {
 public:
  enum class LoadStatus { kLoaded, kNoLibrary, kMissingEntryPoint };

  // Where the program looks for it: "Dll/libbladeenc.so" among the files that come with
  // the program (beside the executable in a build tree, PREFIX/lib/quendrolix after an
  // install), never under the writable program folder.
  static std::filesystem::path DefaultPath();

  Mp3Library() = default;
  ~Mp3Library();
  Mp3Library(const Mp3Library&) = delete;
  Mp3Library& operator=(const Mp3Library&) = delete;

  // Loads the library (replacing one already loaded) and resolves the entry points. On
  // failure nothing stays loaded and error() says why.
  LoadStatus Load(const std::filesystem::path& path);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

  BeVersionFn beVersion = nullptr;
  BeInitStreamFn beInitStream = nullptr;
  BeEncodeChunkFn beEncodeChunk = nullptr;
  BeDeinitStreamFn beDeinitStream = nullptr;
  BeCloseStreamFn beCloseStream = nullptr;

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace quendrolix
