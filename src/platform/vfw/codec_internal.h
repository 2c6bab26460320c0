#pragma once

// Factories of the individual codecs, for the registry in codec.cpp.

#include <memory>
#include <vector>

#include "platform/vfw/codec.h"

namespace quendrolix::codecs {

// A validated view of a BI_RGB / compressed format block.
struct FrameGeometry {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = 0;
  size_t stride = 0;  // bytes per stored row, padded to 4
  std::vector<RGBQUAD> colours;
};
// Reads and checks the header of `format`: sane dimensions (within the DIB limits),
// a colour table that the block holds. False when unusable.
bool ReadGeometry(const std::vector<uint8_t>& format, FrameGeometry& geometry);

std::unique_ptr<VideoCompressor> NewFullFramesCompressor();
std::unique_ptr<VideoCompressor> NewVideo1Compressor();
std::unique_ptr<VideoCompressor> NewRleCompressor();
std::unique_ptr<VideoCompressor> NewMjpegCompressor();
// A compressor of the FFmpeg libraries, chosen by the handler it is opened with.
std::unique_ptr<VideoCompressor> NewLibraryCompressor();

std::unique_ptr<VideoDecompressor> NewRawDecompressor(const std::vector<uint8_t>& format);
std::unique_ptr<VideoDecompressor> NewBitfieldsDecompressor(const std::vector<uint8_t>& format);
std::unique_ptr<VideoDecompressor> NewVideo1Decompressor(const std::vector<uint8_t>& format);
std::unique_ptr<VideoDecompressor> NewRleDecompressor(const std::vector<uint8_t>& format, int bits);
std::unique_ptr<VideoDecompressor> NewMjpegDecompressor(const std::vector<uint8_t>& format);

}  // namespace quendrolix::codecs
