// Shared by the two stream-analysis fuzz targets: run one analyser on memory, check what it
// recorded against the input, then multiplex the result with a small fixed partner stream
// and check that the system stream carries exactly the analysed bytes.
#pragma once

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mpeg/system/access_unit_list.h"
#include "mpeg/system/multiplexer.h"
#include "mpeg/system/stream_analysis.h"
#include "platform/host/file_exception.h"
#include "platform/host/temp_names.h"

namespace quendrolix::fuzzing {

#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

// Input as a read-only memory file; the list as a growing memory buffer.
struct MemoryStreams {
  explicit MemoryStreams(const uint8_t* data, size_t size) {
    static const uint8_t kEmpty = 0;
    input = fmemopen(const_cast<uint8_t*>(size ? data : &kEmpty), size ? size : 1, "rb");
    if (input && size == 0) std::fgetc(input);  // fmemopen cannot open an empty buffer
    list = open_memstream(&listBytes, &listSize);
  }
  ~MemoryStreams() {
    if (input) std::fclose(input);
    if (list) std::fclose(list);
    std::free(listBytes);
  }
  std::vector<uint8_t> ListBytes() {
    std::fflush(list);
    return std::vector<uint8_t>(listBytes, listBytes + listSize);
  }
  std::FILE* input = nullptr;
  std::FILE* list = nullptr;
  char* listBytes = nullptr;
  size_t listSize = 0;
};

// The bytes a hex-text file spells, or the bytes as they are.
inline std::vector<uint8_t> StreamBytes(const uint8_t* data, size_t size) {
  bool hex = size > 0;
  for (size_t i = 0; i < size && hex; ++i) {
    uint8_t c = data[i];
    hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\r' || c == '\n' || c == 0x1A;
  }
  if (!hex) return std::vector<uint8_t>(data, data + size);
  std::vector<uint8_t> bytes;
  int high = -1;
  for (size_t i = 0; i < size; ++i) {
    uint8_t c = data[i];
    int nibble = c <= '9' && c >= '0' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (nibble < 0) continue;
    if (high < 0) {
      high = nibble;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | nibble));
      high = -1;
    }
  }
  return bytes;
}

// Payload of one stream id in a system stream we wrote; false when the layout is broken.
inline bool SystemPayload(const std::vector<uint8_t>& b, uint8_t id, std::vector<uint8_t>& out) {
  size_t pos = 0;
  while (pos + 4 <= b.size()) {
    if (b[pos] != 0 || b[pos + 1] != 0 || b[pos + 2] != 1) return false;
    if (b[pos + 3] == 0xB9) return pos + 4 == b.size();
    if (b[pos + 3] != 0xBA || pos + 12 + 6 > b.size()) return false;
    size_t p = pos + 12;
    if (b[p + 3] == 0xBB) p += 6 + (size_t{b[p + 4]} << 8 | b[p + 5]);
    if (p + 6 > b.size() || b[p] != 0 || b[p + 1] != 0 || b[p + 2] != 1) return false;
    size_t end = p + 6 + (size_t{b[p + 4]} << 8 | b[p + 5]);
    if (end > b.size() || end - p - 6 < 15) return false;
    size_t q = p + 6 + 15;  // the header after the length is always 15 bytes
    if (end - pos > 2048) return false;
    if (b[p + 3] == id) out.insert(out.end(), b.begin() + q, b.begin() + end);
    pos = end;
  }
  return false;
}

// A private folder for the multiplexer's files, made once per process.
inline const PrivateTempFolder& Scratch() {
  static PrivateTempFolder folder("fuzz");
  return folder;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(f);
  return bytes;
}

// One picture, closed by a sequence end code: the partner of the audio target.
inline std::vector<uint8_t> SmallVideo() {
  std::vector<uint8_t> v = {0x00, 0x00, 0x01, 0xB3, 0x06, 0x00, 0x40, 0x13, 0x00, 0x01,
                            0x20, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8};
  v.resize(600, 0x55);
  v.insert(v.end(), {0x00, 0x00, 0x01, 0xB7});
  return v;
}

// Three 32 kbit/s layer II frames at 48 kHz: the partner of the video target.
inline std::vector<uint8_t> SmallAudio() {
  std::vector<uint8_t> a;
  for (int k = 0; k < 3; ++k) {
    const uint8_t header[4] = {0xFF, 0xFD, 0x14, 0xC4};
    a.insert(a.end(), header, header + 4);
    a.resize(a.size() + 92, 0x55);
  }
  return a;
}

}  // namespace quendrolix::fuzzing
