#pragma once

// Small helpers shared by the image readers and writers: memory blocks read as files,
// exact reads, little-endian fields, and the extension rule of the loaders.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/file_handle.h"

namespace quendrolix {

// A read-only stdio stream over a memory block (null for an empty block). The block must
// outlive the stream.
FileHandle OpenMemory(const uint8_t* data, size_t size);
// Length of an open file (from its current position to the end it is left unchanged);
// -1 when it cannot be told.
int64_t FileLength(std::FILE* f);
// Reads exactly n bytes; false on a short read.
bool ReadExact(std::FILE* f, void* buffer, size_t n);
// Reads the rest of the stream; false when it cannot be read or is longer than `maxBytes`
// (decoders that want the whole file in memory never take more than that).
bool ReadRest(std::FILE* f, std::vector<uint8_t>& bytes, size_t maxBytes);

// The file name's extension after the last dot of its last component, upper-cased ("" when
// there is none).
std::string UpperExtension(const std::string& path);

inline uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

}  // namespace quendrolix
