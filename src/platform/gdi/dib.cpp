#include "platform/gdi/dib.h"

#include <cstring>
#include <new>

namespace quendrolix {

std::unique_ptr<DibBlock> DibBlock::Allocate(size_t bytes) {
  if (bytes < sizeof(BITMAPINFOHEADER)) bytes = sizeof(BITMAPINFOHEADER);
  try {
    return std::unique_ptr<DibBlock>(new DibBlock(bytes));
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

std::unique_ptr<DibBlock> DibBlock::FromBytes(const uint8_t* bytes, size_t size) {
  auto block = Allocate(size);
  if (block && size) std::memcpy(block->data(), bytes, size);
  return block;
}

uint32_t DibColourCount(const BITMAPINFOHEADER& header) {
  if (header.biClrUsed != 0) return header.biClrUsed;
  switch (header.biBitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

size_t DibRowStride(int64_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  return static_cast<size_t>(((width * bitCount + 31) / 32) * 4);
}

size_t DibPixelOffset(const DibBlock& dib) {
  return dib.header().biSize + 4 * static_cast<size_t>(DibColourCount(dib));
}

size_t DibBitsOffset(const DibBlock& dib) {
  size_t offset = DibPixelOffset(dib);
  if (dib.header().biCompression == BI_BITFIELDS && dib.header().biSize == sizeof(BITMAPINFOHEADER))
    offset += 12;
  return offset;
}

uint8_t* DibPixels(DibBlock& dib) {
  return dib.data() + DibPixelOffset(dib);
}
const uint8_t* DibPixels(const DibBlock& dib) {
  return dib.data() + DibPixelOffset(dib);
}

namespace {
int64_t& PixelLimitSlot() {
  static int64_t limit = kMaxImagePixels;
  return limit;
}
}  // namespace

int64_t DibPixelLimit() {
  return PixelLimitSlot();
}
void SetDibPixelLimit(int64_t pixels) {
  PixelLimitSlot() = pixels <= 0 || pixels > kMaxImagePixels ? kMaxImagePixels : pixels;
}

HDIB NewDib(int width, int height, int bitCount, uint32_t colours) {
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension ||
      int64_t{width} * height > DibPixelLimit() || colours > 256)
    return nullptr;
  size_t stride = DibRowStride(width, bitCount);
  size_t image = stride * static_cast<size_t>(height);
  HDIB dib = DibBlock::Allocate(sizeof(BITMAPINFOHEADER) + 4 * size_t{colours} + image);
  if (!dib) return nullptr;
  dib->header() = DibHeader(width, height, bitCount, BI_RGB, static_cast<uint32_t>(image), colours);
  return dib;
}

BITMAPINFOHEADER DibHeader(int width, int height, int bitCount, uint32_t compression,
                           uint32_t sizeImage, uint32_t colours) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biCompression = compression;
  h.biSizeImage = sizeImage;
  h.biClrUsed = colours;
  return h;
}

bool DibIsConsistent(const DibBlock& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER& h = dib.header();
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > dib.size()) return false;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > kMaxImageDimension) return false;
  int64_t height = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  if (height > kMaxImageDimension || int64_t{h.biWidth} * height > DibPixelLimit()) return false;
  uint32_t colours = DibColourCount(h);
  if (colours > 256 && h.biBitCount <= 8) return false;
  uint64_t offset = uint64_t{h.biSize} + 4 * uint64_t{colours};
  if (offset > dib.size()) return false;
  uint64_t need;
  if (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS) {
    if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) offset += 12;
    need = DibRowStride(h.biWidth, h.biBitCount) * uint64_t(height);
    if (need == 0) return false;
  } else {
    need = h.biSizeImage;
  }
  return offset + need <= dib.size();
}

}  // namespace quendrolix
