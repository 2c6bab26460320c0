#include "mpeg/video/engine_memory.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/host/conversion_log.h"

namespace quendrolix {
namespace {

std::vector<void*>& Blocks() {
  static std::vector<void*> blocks;
  return blocks;
}

}  // namespace

void FatalError(const std::string& text) {
  ReportFatal(text);
  throw EngineAbort(text);
}

void* EngineAlloc(size_t bytes) {
  size_t rounded = (bytes + 63) / 64 * 64;
  if (rounded == 0) rounded = 64;
  void* block = nullptr;
  if (bytes > (size_t{1} << 40) || posix_memalign(&block, 64, rounded) != 0 || !block)
    FatalError("malloc failed");
  try {
    Blocks().push_back(block);
  } catch (...) {
    std::free(block);
    FatalError("malloc failed");
  }
  std::memset(block, 0, rounded);
  return block;
}

void FreeEngineMemory() {
  for (void* block : Blocks()) std::free(block);
  Blocks().clear();
}

size_t EngineBlockCount() {
  return Blocks().size();
}

}  // namespace quendrolix
