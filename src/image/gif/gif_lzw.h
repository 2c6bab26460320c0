#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quendrolix {

// The LZW coding of a GIF image's colour indices.
//
// Codes are packed least significant bit first. `minCodeSize` (2 to 8) is the number of
// bits of an index; the clear code is 1 << minCodeSize, the end code the one after it,
// and codes start minCodeSize + 1 bits wide, growing by one bit each time the decoder's
// table reaches the next power of two, up to 12 bits. When all 4096 codes are in use a
// clear code is sent and the table starts again, so the table never stops learning.
class GifLzwEncoder {
 public:
  explicit GifLzwEncoder(int minCodeSize);
  // Codes the indices (each below 1 << minCodeSize) into the packed code stream,
  // starting with a clear code and ending with the end code.
  std::vector<uint8_t> Encode(const uint8_t* indices, size_t count);

 private:
  void Reset();
  void Put(unsigned code);
  int Find(unsigned prefix, uint8_t next) const;
  void Insert(unsigned prefix, uint8_t next, unsigned code);

  static constexpr unsigned kMaxCodes = 4096;
  static constexpr unsigned kHashSize = 8192;  // twice the codes: short probe chains

  int minCodeSize_;
  unsigned clearCode_;
  unsigned endCode_;
  unsigned nextCode_ = 0;
  int width_ = 0;
  std::vector<uint32_t> keys_;  // (prefix << 8 | next) + 1, 0 for an empty slot
  std::vector<uint16_t> codes_;
  std::vector<uint8_t> out_;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
};

// The smallest minimum code size for a colour table of `colours` entries (at least 2,
// as GIF decoders require).
int GifMinCodeSize(unsigned colours);

// Splits a code stream into data sub-blocks (a length byte and up to 255 bytes each)
// followed by the zero-length block terminator, as they follow the image descriptor.
void AppendGifSubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& data);

}  // namespace quendrolix
