// Reading BMP files. Nothing in the file is trusted: every size is checked against the
// file's length before it is used, and the picture is refused before anything is
// allocated when it exceeds the limits of dib.h.
#include <cstring>
#include <vector>

#include "image/dib_functions.h"
#include "image/image_io.h"
#include "image/picture_limits.h"
#include "platform/gdi/dib_bitmap.h"

namespace quendrolix {

namespace {

HDIB Fail(int code) {
  SetDibLastError(code);
  return nullptr;
}

bool StandardMasks(int bitCount, const uint32_t m[3]) {
  if (bitCount == 16) return m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F;
  return m[0] == 0x00FF0000 && m[1] == 0x0000FF00 && m[2] == 0x000000FF;
}

// Expands run-length rows (8 or 4 bits) into bottom-up uncompressed rows. Runs and
// deltas that leave the picture are cut at its edge; running out of data ends the picture.
void DecodeRle(const uint8_t* data, size_t size, int bitCount, int width, int height, uint8_t* rows,
               size_t stride) {
  size_t pos = 0;
  int x = 0, y = 0;  // y counts rows from the bottom, as they are stored
  auto put = [&](int index) {
    if (x < width && y < height) {
      uint8_t* row = rows + static_cast<size_t>(y) * stride;
      if (bitCount == 8) {
        row[x] = static_cast<uint8_t>(index);
      } else if (x & 1) {
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 15));
      } else {
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | ((index & 15) << 4));
      }
    }
    ++x;
  };
  while (pos + 2 <= size && y < height) {
    uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i)
        put(bitCount == 8 ? value : ((i & 1) ? (value & 15) : (value >> 4)));
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // delta
      if (pos + 2 > size) break;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      size_t bytes = bitCount == 8 ? value : (value + 1u) / 2;
      if (pos + bytes > size) break;
      for (int i = 0; i < value; ++i) {
        if (bitCount == 8)
          put(data[pos + i]);
        else
          put((i & 1) ? (data[pos + i / 2] & 15) : (data[pos + i / 2] >> 4));
      }
      pos += (bytes + 1) & ~size_t{1};
    }
  }
}

}  // namespace

HDIB LoadDibStream(std::FILE* f) {
  if (!f) return Fail(kDibErrorRead);
  const int64_t length = FileLength(f);
  uint8_t fileHeader[14];
  if (length < 0 || !ReadExact(f, fileHeader, sizeof fileHeader)) return Fail(kDibErrorNotBitmap);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return Fail(kDibErrorNotBitmap);
  const uint32_t pixelOffsetField = Le32(fileHeader + 10);

  uint8_t info[124] = {};
  if (!ReadExact(f, info, 4)) return Fail(kDibErrorNotBitmap);
  const uint32_t headerSize = Le32(info);
  const bool core = headerSize == 12;
  if (!(core || headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
        headerSize == 124))
    return Fail(kDibErrorNotBitmap);
  if (14 + int64_t{headerSize} > length || !ReadExact(f, info + 4, headerSize - 4))
    return Fail(kDibErrorNotBitmap);

  int64_t width, height;
  int planes, bitCount;
  uint32_t compression = BI_RGB, coloursUsed = 0;
  int32_t xRes = 0, yRes = 0;
  if (core) {
    width = Le16(info + 4);
    height = Le16(info + 6);
    planes = Le16(info + 8);
    bitCount = Le16(info + 10);
  } else {
    width = static_cast<int32_t>(Le32(info + 4));
    height = static_cast<int32_t>(Le32(info + 8));
    planes = Le16(info + 12);
    bitCount = Le16(info + 14);
    compression = Le32(info + 16);
    xRes = static_cast<int32_t>(Le32(info + 24));
    yRes = static_cast<int32_t>(Le32(info + 28));
    coloursUsed = Le32(info + 32);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (planes != 1 || width <= 0 || height <= 0) return Fail(kDibErrorNotBitmap);
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      break;
    case 16:
    case 32:
      if (core) return Fail(kDibErrorNotBitmap);
      break;
    default:
      return Fail(kDibErrorNotBitmap);
  }
  const bool bitfields = compression == BI_BITFIELDS;
  const bool rle =
      (compression == BI_RLE8 && bitCount == 8) || (compression == BI_RLE4 && bitCount == 4);
  if (!(compression == BI_RGB || rle || (bitfields && (bitCount == 16 || bitCount == 32))))
    return Fail(kDibErrorNotBitmap);
  if (rle && topDown) return Fail(kDibErrorNotBitmap);
  if (!PictureWithinBudget(width, height)) return Fail(kDibErrorMemory);

  int64_t tableStart = 14 + int64_t{headerSize};
  uint32_t masks[3] = {};
  if (bitfields) {
    if (headerSize == 40) {
      uint8_t m[12];
      if (tableStart + 12 > length || !ReadExact(f, m, 12)) return Fail(kDibErrorRead);
      for (int i = 0; i < 3; ++i) masks[i] = Le32(m + 4 * i);
      tableStart += 12;
    } else {
      for (int i = 0; i < 3; ++i) masks[i] = Le32(info + 40 + 4 * i);
    }
  }

  // The colour table: as many entries as the file says (at most the depth allows), but
  // never reaching into the pixels when the file gives their offset.
  const int entrySize = core ? 3 : 4;
  uint32_t colours = 0;
  if (bitCount <= 8) {
    uint32_t full = 1u << bitCount;
    colours = (coloursUsed == 0 || coloursUsed > full) ? full : coloursUsed;
  }
  int64_t pixelOffset;
  if (pixelOffsetField != 0 && pixelOffsetField >= tableStart && pixelOffsetField < length) {
    pixelOffset = pixelOffsetField;
    int64_t room = (pixelOffset - tableStart) / entrySize;
    if (room < colours) colours = static_cast<uint32_t>(room);
  } else {
    pixelOffset = tableStart + int64_t{colours} * entrySize;
  }
  if (bitCount <= 8 && colours == 0) return Fail(kDibErrorNotBitmap);
  if (tableStart + int64_t{colours} * entrySize > length) return Fail(kDibErrorRead);

  std::vector<uint8_t> table(size_t{colours} * entrySize);
  if (std::fseek(f, static_cast<long>(tableStart), SEEK_SET) != 0 ||
      !ReadExact(f, table.data(), table.size()))
    return Fail(kDibErrorRead);

  const size_t stride = DibRowStride(width, bitCount);
  const int64_t available = length - pixelOffset;
  if (available < 0) return Fail(kDibErrorRead);
  size_t pixelBytes = rle ? static_cast<size_t>(available) : stride * static_cast<size_t>(height);
  if (!rle && static_cast<int64_t>(pixelBytes) > available) return Fail(kDibErrorRead);
  // Run-length data gives at most 255 pixels for two bytes.
  if (rle && !CodedBytesCanHold(static_cast<uint64_t>(available),
                                uint64_t{stride} * static_cast<uint64_t>(height), 128))
    return Fail(kDibErrorRead);
  if (std::fseek(f, static_cast<long>(pixelOffset), SEEK_SET) != 0) return Fail(kDibErrorRead);
  // Run-length data and unusual bit fields are read whole and converted; plain rows go
  // straight into the block further down.
  const bool plain = !rle && !(bitfields && !StandardMasks(bitCount, masks));
  std::vector<uint8_t> pixels;
  if (!plain) {
    try {
      pixels.resize(pixelBytes);
    } catch (const std::exception&) {
      return Fail(kDibErrorMemory);
    }
    if (!ReadExact(f, pixels.data(), pixels.size())) return Fail(kDibErrorRead);
  }

  // Bit fields other than the plain 5-5-5 and 8-8-8 layouts become 24-bit rows, so every
  // block we hand on is plain BI_RGB.
  if (bitfields && !StandardMasks(bitCount, masks)) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = static_cast<int32_t>(width);
    h.biHeight = static_cast<int32_t>(topDown ? -height : height);
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bitCount);
    h.biCompression = BI_BITFIELDS;
    HBITMAP bitmap = BitmapFromDibBits(h, nullptr, 0, masks, pixels.data(), pixels.size());
    if (!bitmap) return Fail(kDibErrorMemory);
    HDIB dib = NewDib(static_cast<int>(width), static_cast<int>(height), 24, 0);
    if (!dib || !DibBitsFromBitmap(*bitmap, 24, nullptr, nullptr, 0, DibPixels(*dib),
                                   dib->header().biSizeImage))
      return Fail(kDibErrorMemory);
    dib->header().biXPelsPerMeter = xRes;
    dib->header().biYPelsPerMeter = yRes;
    return dib;
  }

  HDIB dib = NewDib(static_cast<int>(width), static_cast<int>(height), bitCount, colours);
  if (!dib) return Fail(kDibErrorMemory);
  BITMAPINFOHEADER& h = dib->header();
  h.biXPelsPerMeter = xRes;
  h.biYPelsPerMeter = yRes;
  RGBQUAD* out = dib->colours();
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t* e = table.data() + size_t{i} * entrySize;
    out[i] = {e[0], e[1], e[2], 0};
  }
  uint8_t* rows = DibPixels(*dib);
  if (rle) {
    DecodeRle(pixels.data(), pixels.size(), bitCount, static_cast<int>(width),
              static_cast<int>(height), rows, stride);
  } else if (!topDown) {
    if (!ReadExact(f, rows, stride * static_cast<size_t>(height))) return Fail(kDibErrorRead);
  } else {
    for (int64_t y = height - 1; y >= 0; --y)
      if (!ReadExact(f, rows + static_cast<size_t>(y) * stride, stride)) return Fail(kDibErrorRead);
  }
  return dib;
}

HDIB LoadDibFile(const std::string& path) {
  FileHandle f = OpenFile(path, "rb");
  if (!f) return Fail(kDibErrorRead);
  return LoadDibStream(f.get());
}

}  // namespace quendrolix
