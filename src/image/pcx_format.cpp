#include "image/pcx_format.h"

#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "image/picture_limits.h"
#include "platform/host/atomic_file.h"

namespace quendrolix {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kBufferSize = 8192;

const uint8_t kDefault16[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                                   {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {128, 128, 128},
                                   {192, 192, 192}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                   {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};

// Reads the stream through a fixed buffer and knows where in the stream its next byte is.
class BufferedInput {
 public:
  BufferedInput(std::FILE* f, long start) : f_(f), position_(start) {}
  int Next() {
    if (at_ == filled_) {
      filled_ = std::fread(buffer_, 1, kBufferSize, f_);
      at_ = 0;
      if (filled_ == 0) return -1;
    }
    ++position_;
    return buffer_[at_++];
  }
  long position() const { return position_; }

 private:
  std::FILE* f_;
  uint8_t buffer_[kBufferSize];
  size_t at_ = 0;
  size_t filled_ = 0;
  long position_;
};

}  // namespace

bool ReadPcx(std::FILE* f, HDIB& dibOut, HPALETTE& paletteOut) {
  dibOut.reset();
  paletteOut.reset();
  uint8_t h[kHeaderSize];
  if (!f || !ReadExact(f, h, kHeaderSize)) return false;
  const int version = h[1], bitsPerPixel = h[3], planes = h[65];
  if (h[0] != 10 || h[2] != 1) return false;
  const int bitCount = bitsPerPixel * planes;
  const bool accepted = (bitsPerPixel == 1 && (planes == 1 || planes == 4)) ||
                        (bitsPerPixel == 4 && planes == 1) ||
                        (bitsPerPixel == 8 && (planes == 1 || planes == 3));
  if (!accepted) return false;
  const int xMin = static_cast<int16_t>(Le16(h + 4)), yMin = static_cast<int16_t>(Le16(h + 6));
  const int xMax = static_cast<int16_t>(Le16(h + 8)), yMax = static_cast<int16_t>(Le16(h + 10));
  const int width = xMax - xMin + 1, height = yMax - yMin + 1;
  const size_t bytesPerLine = Le16(h + 66);
  // A line must hold the picture's width, or decoding would read past it.
  if (width <= 0 || height <= 0 || bytesPerLine * 8 < size_t(width) * bitsPerPixel) return false;
  const size_t lineLength = planes * bytesPerLine;
  if (!PictureWithinBudget(width, height)) return false;
  // Runs of at most 63 bytes for two: a 128-byte header alone holds no picture at all.
  const long start = std::ftell(f);
  const int64_t length = FileLength(f);
  if (start < 0 || length < start ||
      !CodedBytesCanHold(static_cast<uint64_t>(length - start), uint64_t{lineLength} * height,
                         kRatioPcxRle))
    return false;

  const uint32_t colours = bitCount <= 8 ? (1u << bitCount) : 0;
  HDIB dib = NewDib(width, height, bitCount, colours);
  if (!dib) return false;
  dib->header().biClrUsed = 0;
  const size_t stride = DibRowStride(width, bitCount);
  uint8_t* rows = DibPixels(*dib);

  BufferedInput in(f, std::ftell(f));
  std::vector<uint8_t> line(lineLength);
  int runLeft = 0, runValue = 0;  // a run goes on into the next line when the file says so
  for (int y = 0; y < height; ++y) {
    size_t have = 0;
    while (have < lineLength) {
      if (runLeft > 0) {
        size_t n = std::min<size_t>(runLeft, lineLength - have);
        std::memset(line.data() + have, runValue, n);
        have += n;
        runLeft -= static_cast<int>(n);
        continue;
      }
      int c = in.Next();
      if (c < 0) break;
      if (c >= 0xC0) {
        int v = in.Next();
        if (v < 0) break;
        runLeft = c & 0x3F;
        runValue = v;
      } else {
        line[have++] = static_cast<uint8_t>(c);
      }
    }
    if (have < lineLength) std::memset(line.data() + have, 0, lineLength - have);
    uint8_t* dst = rows + static_cast<size_t>(height - 1 - y) * stride;
    if (planes == 1) {
      std::memcpy(dst, line.data(), std::min(stride, bytesPerLine));
    } else if (bitsPerPixel == 1) {  // four bit planes: plane k gives bit k
      for (int x = 0; x < width; ++x) {
        int value = 0;
        for (int k = 0; k < 4; ++k)
          value |= ((line[k * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1) << k;
        dst[x >> 1] |= static_cast<uint8_t>(value << ((x & 1) ? 0 : 4));
      }
    } else {  // red, green and blue planes
      for (int x = 0; x < width; ++x) {
        dst[3 * x] = line[2 * bytesPerLine + x];
        dst[3 * x + 1] = line[bytesPerLine + x];
        dst[3 * x + 2] = line[x];
      }
    }
    // Data that ends early would leave the rest of the picture black: refused.
    if (have < lineLength) return false;
  }

  if (colours) {
    RGBQUAD* table = dib->colours();
    auto set = [&](int i, int r, int g, int b) {
      table[i] = {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
    };
    const uint8_t* headerPalette = h + 16;
    if (colours == 256) {
      // The palette follows a 0x0C marker after the pixel data.
      std::vector<uint8_t> tail(kBufferSize);
      size_t got = 0;
      if (std::fseek(f, in.position(), SEEK_SET) == 0)
        got = std::fread(tail.data(), 1, tail.size(), f);
      size_t marker = got;
      for (size_t i = 0; i < got && i < 7425; ++i)
        if (tail[i] == 12) {
          marker = i;
          break;
        }
      if (marker + 1 + 768 <= got) {
        for (int i = 0; i < 256; ++i)
          set(i, tail[marker + 1 + 3 * i], tail[marker + 2 + 3 * i], tail[marker + 3 + 3 * i]);
      } else {
        // No palette after the pixels: show the indices as greys.
        for (int i = 0; i < 256; ++i) set(i, i, i, i);
      }
    } else if (version == 3 || version == 4) {
      if (colours == 2) {
        set(0, 0, 0, 0);
        set(1, 255, 255, 255);
      } else {
        for (int i = 0; i < 16; ++i) set(i, kDefault16[i][0], kDefault16[i][1], kDefault16[i][2]);
      }
    } else if (colours == 16) {
      for (int i = 0; i < 16; ++i)
        set(i, headerPalette[3 * i], headerPalette[3 * i + 1], headerPalette[3 * i + 2]);
    } else if (std::memcmp(headerPalette, headerPalette + 3, 3) != 0) {
      for (int i = 0; i < 2; ++i)
        set(i, headerPalette[3 * i], headerPalette[3 * i + 1], headerPalette[3 * i + 2]);
    } else {
      set(0, 0, 0, 0);
      set(1, 255, 255, 255);
    }
    std::vector<PALETTEENTRY> entries(colours);
    for (uint32_t i = 0; i < colours; ++i)
      entries[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    paletteOut = Palette::Create(entries);
    if (!paletteOut) return false;
  }
  dibOut = std::move(dib);
  return true;
}

bool ReadPcxFile(const std::string& path, HDIB& dib, HPALETTE& palette) {
  FileHandle f = OpenFile(path, "rb");
  return ReadPcx(f.get(), dib, palette);
}

void EncodePcxLine(const uint8_t* line, size_t size, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < size) {
    uint8_t v = line[i];
    size_t run = 1;
    while (i + run < size && line[i + run] == v) ++run;
    i += run;
    if (run == 1 && v < 0xC0) {
      out.push_back(v);
      continue;
    }
    // A longer run goes out in counted pieces of at most 63, the last one too.
    while (run > 0) {
      size_t piece = std::min<size_t>(run, 63);
      out.push_back(static_cast<uint8_t>(0xC0 + piece));
      out.push_back(v);
      run -= piece;
    }
  }
}

namespace {

// Puts a colour table into a whole PCX file held in memory.
bool StorePalette(std::vector<uint8_t>& file, const RGBQUAD* colours, uint32_t count) {
  if (file.size() < kHeaderSize || file[0] != 10) return false;
  if (count == 2 || count == 16) {
    for (uint32_t i = 0; i < count; ++i) {
      file[16 + 3 * i] = colours[i].rgbRed;
      file[17 + 3 * i] = colours[i].rgbGreen;
      file[18 + 3 * i] = colours[i].rgbBlue;
    }
  } else if (count == 256) {
    size_t at = file.size();
    if (file[1] == 5 && file.size() >= kHeaderSize + 769 && file[file.size() - 769] == 0x0C)
      at = file.size() - 769;
    file.resize(at + 769);
    file[at] = 0x0C;
    for (uint32_t i = 0; i < 256; ++i) {
      file[at + 1 + 3 * i] = colours[i].rgbRed;
      file[at + 2 + 3 * i] = colours[i].rgbGreen;
      file[at + 3 + 3 * i] = colours[i].rgbBlue;
    }
  } else {
    return false;
  }
  file[1] = 5;
  return true;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  AtomicFile out(path);
  if (out.tempPath().empty()) return false;
  FileHandle f = OpenFile(out.tempPath(), "wb");
  if (!f) return false;
  // Out in pieces of the encoder's buffer size.
  for (size_t at = 0; at < bytes.size(); at += kBufferSize) {
    size_t n = std::min(kBufferSize, bytes.size() - at);
    if (std::fwrite(bytes.data() + at, 1, n, f.get()) != n) return false;
  }
  if (std::fclose(f.release()) != 0) return false;
  return out.Commit();
}

}  // namespace

bool WritePcx(const std::string& path, const DibBlock& dib) {
  if (!DibIsConsistent(dib) || dib.header().biCompression != BI_RGB) return false;
  const BITMAPINFOHEADER& bh = dib.header();
  const int bitCount = bh.biBitCount;
  int bitsPerPixel, planes;
  switch (bitCount) {
    case 1:
      bitsPerPixel = 1, planes = 1;
      break;
    case 4:
      bitsPerPixel = 1, planes = 4;
      break;
    case 8:
      bitsPerPixel = 8, planes = 1;
      break;
    case 24:
      bitsPerPixel = 8, planes = 3;
      break;
    default:
      return false;
  }
  const int width = bh.biWidth;
  const int height = bh.biHeight < 0 ? -bh.biHeight : bh.biHeight;
  if (width > 0xFFFF || height > 0xFFFF) return false;
  const size_t bytesPerLine = ((size_t(bitsPerPixel) * width + 15) / 16) * 2;
  if (bytesPerLine > 0xFFFF) return false;

  std::vector<uint8_t> file(kHeaderSize, 0);
  uint8_t* h = file.data();
  h[0] = 0x0A;
  h[1] = 5;
  h[2] = 1;
  h[3] = static_cast<uint8_t>(bitsPerPixel);
  PutLe16(h + 8, width - 1);
  PutLe16(h + 10, height - 1);
  PutLe16(h + 12, kScreenWidth);
  PutLe16(h + 14, kScreenHeight);
  h[65] = static_cast<uint8_t>(planes);
  PutLe16(h + 66, static_cast<uint32_t>(bytesPerLine));
  PutLe16(h + 68, 1);
  PutLe16(h + 70, kScreenWidth);
  PutLe16(h + 72, kScreenHeight);
  std::memcpy(h + 118, "VAVI 2.01 ", 10);

  const size_t stride = DibRowStride(width, bitCount);
  const uint8_t* rows = DibPixels(dib);
  std::vector<uint8_t> line(planes * bytesPerLine);
  for (int y = 0; y < height; ++y) {
    int stored = bh.biHeight < 0 ? y : height - 1 - y;
    const uint8_t* src = rows + static_cast<size_t>(stored) * stride;
    std::fill(line.begin(), line.end(), 0);
    if (bitCount == 1 || bitCount == 8) {
      std::memcpy(line.data(), src, std::min(stride, bytesPerLine));
    } else if (bitCount == 4) {
      for (int x = 0; x < width; ++x) {
        int value = (x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4);
        for (int k = 0; k < 4; ++k)
          if (value & (1 << k))
            line[k * bytesPerLine + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    } else {
      for (int x = 0; x < width; ++x) {
        line[x] = src[3 * x + 2];
        line[bytesPerLine + x] = src[3 * x + 1];
        line[2 * bytesPerLine + x] = src[3 * x];
      }
    }
    EncodePcxLine(line.data(), line.size(), file);
  }
  if (bitCount <= 8) {
    // Fewer table entries than the depth allows leave the rest black.
    std::vector<RGBQUAD> table(size_t{1} << bitCount, RGBQUAD{0, 0, 0, 0});
    uint32_t have = std::min<uint32_t>(DibColourCount(dib), static_cast<uint32_t>(table.size()));
    std::memcpy(table.data(), dib.colours(), have * sizeof(RGBQUAD));
    if (!StorePalette(file, table.data(), static_cast<uint32_t>(table.size()))) return false;
  }
  return WriteWhole(path, file);
}

bool WritePcxPalette(const std::string& path, const RGBQUAD* colours, uint32_t count) {
  std::vector<uint8_t> file;
  {
    FileHandle f = OpenFile(path, "rb");
    if (!f) return false;
    int64_t length = FileLength(f.get());
    if (length < int64_t(kHeaderSize) || length > (int64_t{1} << 31)) return false;
    file.resize(static_cast<size_t>(length));
    if (!ReadExact(f.get(), file.data(), file.size())) return false;
  }
  if (!StorePalette(file, colours, count)) return false;
  return WriteWhole(path, file);
}

}  // namespace quendrolix
