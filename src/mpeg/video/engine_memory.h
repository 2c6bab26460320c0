#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace quendrolix {

// Thrown to abandon a conversion once the user has been told why (ReportFatal, or a
// report line such as "Error: loading of %s failed"). The entry operations catch it.
class EngineAbort : public std::runtime_error {
 public:
  explicit EngineAbort(const std::string& why) : std::runtime_error(why) {}
};

// ReportFatal(text), then abandons the conversion.
[[noreturn]] void FatalError(const std::string& text);

// Every block the engine allocates is recorded here and freed together when the entry
// operation returns, however it returns. Blocks are zero-filled and 64-byte aligned for
// the vector kernels. A failed allocation is fatal ("malloc failed").
void* EngineAlloc(size_t bytes);
template <typename T>
T* EngineAllocArray(size_t count) {
  return static_cast<T*>(EngineAlloc(count * sizeof(T)));
}
void FreeEngineMemory();
size_t EngineBlockCount();  // blocks currently held

// Frees the engine's blocks when it goes out of scope.
class EngineMemoryScope {
 public:
  EngineMemoryScope() = default;
  ~EngineMemoryScope() { FreeEngineMemory(); }
  EngineMemoryScope(const EngineMemoryScope&) = delete;
  EngineMemoryScope& operator=(const EngineMemoryScope&) = delete;
};

}  // namespace quendrolix
