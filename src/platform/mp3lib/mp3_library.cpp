#include "platform/mp3lib/mp3_library.h"

#include <dlfcn.h>

#include "platform/host/program_folder.h"

namespace quendrolix {

std::filesystem::path Mp3Library::DefaultPath() {
  return ProgramFolder::LibraryFile("Dll/libbladeenc.so");
}

Mp3Library::~Mp3Library() {
  Unload();
}

void Mp3Library::Unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
  beVersion = nullptr;
  beInitStream = nullptr;
  beEncodeChunk = nullptr;
  beDeinitStream = nullptr;
  beCloseStream = nullptr;
}

namespace {
template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& fn, std::string& error) {
  fn = reinterpret_cast<Fn>(::dlsym(handle, name));
  if (!fn && error.empty()) error = std::string("the library has no entry point ") + name;
  return fn != nullptr;
}
}  // namespace

Mp3Library::LoadStatus Mp3Library::Load(const std::filesystem::path& path) {
  Unload();
  error_.clear();
  // A bare name would send dlopen searching the system's folders: only the given file counts.
  const std::string file = path.has_parent_path() ? path.string() : "./" + path.string();
  handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = ::dlerror();
    error_ = why ? why : "cannot load " + file;
    return LoadStatus::kNoLibrary;
  }
  bool all = Resolve(handle_, "beVersion", beVersion, error_);
  all = Resolve(handle_, "beInitStream", beInitStream, error_) && all;
  all = Resolve(handle_, "beEncodeChunk", beEncodeChunk, error_) && all;
  all = Resolve(handle_, "beDeinitStream", beDeinitStream, error_) && all;
  all = Resolve(handle_, "beCloseStream", beCloseStream, error_) && all;
  if (!all) {
    std::string why = error_;
    Unload();
    error_ = why;
    return LoadStatus::kMissingEntryPoint;
  }
  return LoadStatus::kLoaded;
}

}  // namespace quendrolix
