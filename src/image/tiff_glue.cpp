#include "image/tiff_glue.h"

#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <set>

#include "image/image_io.h"
#include "image/orientation.h"
#include "image/picture_limits.h"
#include "platform/host/atomic_file.h"

namespace quendrolix {

namespace {

// libtiff reads and writes through the stdio stream we opened.
tmsize_t StreamRead(thandle_t h, void* buffer, tmsize_t size) {
  return static_cast<tmsize_t>(
      std::fread(buffer, 1, static_cast<size_t>(size), static_cast<std::FILE*>(h)));
}
tmsize_t StreamWrite(thandle_t h, void* buffer, tmsize_t size) {
  return static_cast<tmsize_t>(
      std::fwrite(buffer, 1, static_cast<size_t>(size), static_cast<std::FILE*>(h)));
}
toff_t StreamSeek(thandle_t h, toff_t offset, int whence) {
  std::FILE* f = static_cast<std::FILE*>(h);
  if (offset > toff_t(INT64_MAX)) return toff_t(-1);
  if (fseeko(f, static_cast<off_t>(offset), whence) != 0) return toff_t(-1);
  return static_cast<toff_t>(ftello(f));
}
int StreamClose(thandle_t) {
  return 0;  // the caller closes the stream
}
toff_t StreamSize(thandle_t h) {
  int64_t length = FileLength(static_cast<std::FILE*>(h));
  return length < 0 ? 0 : static_cast<toff_t>(length);
}
int NoMap(thandle_t, void**, toff_t*) {
  return 0;
}
void NoUnmap(thandle_t, void*, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: the library's complaints are not the user's business
}

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t) TIFFClose(t);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle OpenTiff(std::FILE* f, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  // Room for one strip or tile of the largest picture we take, 8 bytes a pixel.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options,
                                      static_cast<tmsize_t>(DibPixelLimit() * 8 + (1 << 20)));
  TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
  TIFF* t = TIFFClientOpenExt("tiff", mode, f, StreamRead, StreamWrite, StreamSeek, StreamClose,
                              StreamSize, NoMap, NoUnmap, options);
  TIFFOpenOptionsFree(options);
  return TiffHandle(t);
}

uint8_t Scale16(uint16_t v, bool wide) {
  // Truncated, as the library itself turns colour maps into 8 bits.
  return wide ? static_cast<uint8_t>(uint32_t{v} * 255 / 65535) : static_cast<uint8_t>(v);
}

HDIB Fail(int* status, int code) {
  if (status) *status = code;
  return nullptr;
}

// Pictures the strip reader cannot lay out directly (separate planes, YCbCr, CIE L*a*b*,
// tiles, and depths a DIB has no room for) go through the library's RGBA reader.
HDIB ReadRgba(TIFF* t, uint32_t width, uint32_t height, uint16_t samples, uint16_t extra,
              uint16_t orientation, int* status) {
  const bool alpha = samples >= 4 || extra > 0;
  const int bitCount = alpha ? 32 : 24;
  HDIB dib = NewDib(static_cast<int>(width), static_cast<int>(height), bitCount, 0);
  if (!dib) return Fail(status, kTiffStatusNoMemory);
  std::vector<uint32_t> raster;
  try {
    raster.resize(static_cast<size_t>(width) * height);
  } catch (const std::exception&) {
    return Fail(status, kTiffStatusNoMemory);
  }
  char message[1024];
  // Asked for the file's own orientation the library flips nothing: rows come in the
  // order stored, and the caller turns the picture as the tag says.
  if (!TIFFRGBAImageOK(t, message) ||
      !TIFFReadRGBAImageOriented(t, width, height, raster.data(), orientation, 0))
    return Fail(status, kTiffStatusReadFailed);
  const size_t stride = DibRowStride(width, bitCount);
  uint8_t* rows = DibPixels(*dib);
  const int bytes = bitCount / 8;
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = raster.data() + static_cast<size_t>(y) * width;
    uint8_t* dst = rows + static_cast<size_t>(height - 1 - y) * stride;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t p = src[x];
      uint8_t* q = dst + size_t{x} * bytes;
      q[0] = static_cast<uint8_t>(TIFFGetB(p));
      q[1] = static_cast<uint8_t>(TIFFGetG(p));
      q[2] = static_cast<uint8_t>(TIFFGetR(p));
      if (bytes == 4) q[3] = static_cast<uint8_t>(TIFFGetA(p));
    }
  }
  return dib;
}

// Resolutions are floats in the file; the block holds 32-bit integers, and values beyond
// them (or not numbers at all) become 0.
int32_t ResolutionField(float value) {
  if (!(value >= 0.0f) || !(value < 2147483520.0f)) return 0;
  return static_cast<int32_t>(value);
}

// Decoded bytes per coded byte at best, for each compression the library may meet.
uint64_t BestRatio(uint16_t compression, uint32_t width) {
  switch (compression) {
    case COMPRESSION_NONE:
      return 1;
    case COMPRESSION_PACKBITS:
      return kRatioPackBits;
    case COMPRESSION_LZW:
      return kRatioLzw;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
      return kRatioDeflate;
    case COMPRESSION_JPEG:
      return kJpegPixelsPerByte * 4;  // up to four 8-bit samples a pixel
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
      // A blank fax row can take a single bit whatever its width.
      return std::max<uint64_t>(width, 8);
    default:
      return 65536;  // newer codings: only the pixel budget bounds them
  }
}

// The coded bytes the directory's strips or tiles really have in the file.
uint64_t CodedBytes(TIFF* t, uint64_t fileBytes) {
  uint64_t* counts = nullptr;
  const bool tiled = TIFFIsTiled(t);
  if (!TIFFGetField(t, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) ||
      !counts)
    return fileBytes;
  const uint64_t n = tiled ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
  uint64_t sum = 0;
  for (uint64_t i = 0; i < n && sum < fileBytes; ++i) sum += std::min(counts[i], fileBytes);
  return std::min(sum, fileBytes);
}

// Numbers as the file stores them: "MM" files big-endian, "II" files little-endian.
struct TiffByteOrder {
  bool big;
  uint32_t U16(const uint8_t* p) const {
    return big ? uint32_t(p[0] << 8 | p[1]) : uint32_t(Le16(p));
  }
  uint32_t U32(const uint8_t* p) const {
    return big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
               : Le32(p);
  }
};

// Looks at the directory's bit depth and compression before libtiff does: the library
// refuses some of these directories outright, and the user should still learn why.
int ProbeDirectory(std::FILE* f, uint32_t directoryOffset) {
  uint8_t head[8];
  if (std::fseek(f, 0, SEEK_SET) != 0 || !ReadExact(f, head, 8)) return kTiffStatusStart;
  const TiffByteOrder order{head[0] == 'M' && head[1] == 'M'};
  uint32_t offset = directoryOffset ? directoryOffset : order.U32(head + 4);
  uint8_t count[2];
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || !ReadExact(f, count, 2))
    return kTiffStatusStart;
  int status = kTiffStatusStart;
  for (uint32_t i = 0, n = std::min<uint32_t>(order.U16(count), 4096); i < n; ++i) {
    uint8_t e[12];
    if (!ReadExact(f, e, 12)) break;
    const uint32_t tag = order.U16(e), type = order.U16(e + 2), values = order.U32(e + 4);
    if (type != 3 || values == 0) continue;  // both are SHORT tags
    uint32_t first = order.U16(e + 8);
    if (values > 2) {  // the values are elsewhere in the file
      long here = std::ftell(f);
      uint8_t v[2];
      if (std::fseek(f, static_cast<long>(order.U32(e + 8)), SEEK_SET) != 0 || !ReadExact(f, v, 2))
        break;
      first = order.U16(v);
      std::fseek(f, here, SEEK_SET);
    }
    if (tag == 258 && first == 0) status = kTiffStatusNoBits;
    if (tag == 259 && first == 32946 && status == kTiffStatusStart) status = kTiffStatusDeflate;
    if (tag == 259 && first == COMPRESSION_OJPEG && status == kTiffStatusStart)
      status = kTiffStatusOldJpeg;
  }
  std::fseek(f, 0, SEEK_SET);
  return status;
}

}  // namespace

HDIB ReadTiffStream(std::FILE* f, uint32_t directoryOffset, int* status) {
  if (status) *status = kTiffStatusStart;
  if (!f) return nullptr;
  if (int early = ProbeDirectory(f, directoryOffset); early != kTiffStatusStart)
    return Fail(status, early);
  TiffHandle tiff = OpenTiff(f, "rm");
  if (!tiff) return nullptr;
  TIFF* t = tiff.get();
  if (directoryOffset != 0 && !TIFFSetSubDirectory(t, directoryOffset)) return nullptr;

  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, compression = COMPRESSION_NONE,
           photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  float xResolution = 0, yResolution = 0;
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &xResolution);
  TIFFGetField(t, TIFFTAG_YRESOLUTION, &yResolution);

  if (bits == 0) return Fail(status, kTiffStatusNoBits);
  if (compression == 32946) return Fail(status, kTiffStatusDeflate);
  if (compression == COMPRESSION_OJPEG) return Fail(status, kTiffStatusOldJpeg);
  if (!PictureWithinBudget(width, height)) return Fail(status, kTiffStatusNoMemory);
  // Before anything is allocated: the pixels must fit the strips' bytes at the coding's
  // best ratio, and no picture needs more than 8 bytes a pixel (16-bit RGBA).
  const uint64_t rowBytes = (uint64_t{width} * bits * samples + 7) / 8;
  const uint64_t decodedBytes = rowBytes * height;
  if (decodedBytes > static_cast<uint64_t>(PicturePixelBudget()) * 8)
    return Fail(status, kTiffStatusNoMemory);
  const int64_t fileBytes = FileLength(f);
  if (!CodedBytesCanHold(CodedBytes(t, static_cast<uint64_t>(std::max<int64_t>(fileBytes, 0))),
                         decodedBytes, BestRatio(compression, width)))
    return Fail(status, kTiffStatusReadFailed);
  if (photometric == PHOTOMETRIC_SEPARATED && bits < 8) return Fail(status, kTiffStatusCmykDepth);

  // The rows are laid out as stored; the picture is then turned upright as its
  // orientation says (4, bottom-left, is the flip of the first row to the bottom).
  if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT)
    orientation = ORIENTATION_TOPLEFT;
  auto finish = [&](HDIB dib) {
    if (!dib) return dib;
    dib->header().biXPelsPerMeter = ResolutionField(xResolution);
    dib->header().biYPelsPerMeter = ResolutionField(yResolution);
    dib = OrientDib(std::move(dib), orientation);
    if (!dib) return Fail(status, kTiffStatusNoMemory);
    return dib;
  };

  const int bitCount = bits * samples;
  // Tiles of whole bytes are laid out here too; other tiles go through the RGBA reader.
  const bool tiled = TIFFIsTiled(t);
  const bool direct = planar == PLANARCONFIG_CONTIG && photometric != PHOTOMETRIC_YCBCR &&
                      photometric != PHOTOMETRIC_CIELAB &&
                      ((samples == 1 && (bits == 8 || (!tiled && (bits == 1 || bits == 4)))) ||
                       (bits == 8 && (samples == 3 || samples == 4)));
  if (!direct) return finish(ReadRgba(t, width, height, samples, extraCount, orientation, status));

  const uint32_t colours = samples == 1 ? (1u << bits) : 0;
  HDIB dib = NewDib(static_cast<int>(width), static_cast<int>(height), bitCount, colours);
  if (!dib) return Fail(status, kTiffStatusNoMemory);
  bool invert = false;
  if (colours) {
    RGBQUAD* table = dib->colours();
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (photometric == PHOTOMETRIC_PALETTE &&
        TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue)) {
      bool wide = false;
      for (uint32_t i = 0; i < colours; ++i)
        if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) wide = true;
      for (uint32_t i = 0; i < colours; ++i)
        table[i] = {Scale16(blue[i], wide), Scale16(green[i], wide), Scale16(red[i], wide), 0};
    } else {
      const uint32_t step = 255 / (colours - 1);
      const bool minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
      for (uint32_t j = 0; j < colours; ++j) {
        auto v = static_cast<uint8_t>(step * (minIsWhite && bits != 1 ? colours - 1 - j : j));
        table[j] = {v, v, v, 0};
      }
      // Bilevel min-is-white pictures are turned into 0 = black, 1 = white.
      invert = bits == 1 && minIsWhite;
    }
  }

  uint8_t* rows = DibPixels(*dib);
  const size_t stride = DibRowStride(width, bitCount);
  // Puts `count` pixels of one stored row (the file's row `row`) at column x of the block.
  auto put = [&](uint32_t row, uint32_t x, const uint8_t* src, uint32_t count, size_t bytes) {
    uint8_t* dst = rows + static_cast<size_t>(height - 1 - row) * stride;
    if (samples == 1) {
      std::memcpy(dst + x, src, bytes);
      if (invert)
        for (size_t i = 0; i < bytes; ++i) dst[x + i] = static_cast<uint8_t>(~dst[x + i]);
      return;
    }
    dst += size_t{x} * samples;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = src + size_t{i} * samples;
      uint8_t* q = dst + size_t{i} * samples;
      if (photometric == PHOTOMETRIC_SEPARATED && samples == 4) {
        const int black = 255 - p[3];
        q[0] = static_cast<uint8_t>((255 - p[2]) * black / 255);
        q[1] = static_cast<uint8_t>((255 - p[1]) * black / 255);
        q[2] = static_cast<uint8_t>((255 - p[0]) * black / 255);
        q[3] = 0;
      } else {
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
        if (samples == 4) q[3] = p[3];
      }
    }
  };
  std::vector<uint8_t> buffer;
  auto allocate = [&](tmsize_t size) {
    if (size <= 0) return false;
    try {
      buffer.resize(static_cast<size_t>(size));
    } catch (const std::exception&) {
      return false;
    }
    return true;
  };

  if (tiled) {
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tileLength);
    const tmsize_t tileSize = TIFFTileSize(t);
    if (tileWidth == 0 || tileLength == 0 ||
        uint64_t{tileWidth} * tileLength * samples >
            static_cast<uint64_t>(std::max<tmsize_t>(tileSize, 0)))
      return Fail(status, kTiffStatusReadFailed);
    // A tile is read whole: one far larger than the picture (beyond the 16-pixel rounding
    // tiles have) and than a megapixel is refused before its buffer is allocated.
    const bool tileBeyondPicture =
        tileWidth > uint64_t{width} + 15 || tileLength > uint64_t{height} + 15;
    if ((tileBeyondPicture && uint64_t{tileWidth} * tileLength > (uint64_t{1} << 20)) ||
        !PictureWithinBudget(static_cast<int>(std::min<uint32_t>(tileWidth, INT32_MAX)),
                             static_cast<int>(std::min<uint32_t>(tileLength, INT32_MAX))))
      return Fail(status, kTiffStatusNoMemory);
    if (!allocate(tileSize)) return Fail(status, kTiffStatusNoMemory);
    for (uint32_t ty = 0; ty < height; ty += tileLength)
      for (uint32_t tx = 0; tx < width; tx += tileWidth) {
        if (TIFFReadTile(t, buffer.data(), tx, ty, 0, 0) != tileSize)
          return Fail(status, kTiffStatusReadFailed);
        const uint32_t count = std::min(tileWidth, width - tx);
        for (uint32_t r = 0; r < tileLength && ty + r < height; ++r)
          put(ty + r, tx, buffer.data() + size_t{r} * tileWidth * samples, count,
              size_t{count} * samples);
      }
    return finish(std::move(dib));
  }

  const tmsize_t scanline = TIFFScanlineSize(t);
  if (scanline <= 0 || static_cast<size_t>(scanline) > stride)
    return Fail(status, kTiffStatusReadFailed);
  uint32_t rowsPerStrip = height;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
  const tmsize_t stripSize = TIFFStripSize(t);
  if (stripSize <= 0) return Fail(status, kTiffStatusReadFailed);
  if (!allocate(stripSize)) return Fail(status, kTiffStatusNoMemory);
  uint32_t row = 0;
  for (tstrip_t s = 0; row < height; ++s) {
    tmsize_t got = TIFFReadEncodedStrip(t, s, buffer.data(), stripSize);
    if (got < 0) return Fail(status, kTiffStatusReadFailed);
    uint32_t inStrip = std::min<uint32_t>(rowsPerStrip, height - row);
    // A strip short of its rows would leave them black: the picture is damaged.
    if (static_cast<uint64_t>(got) < uint64_t{inStrip} * static_cast<uint64_t>(scanline))
      return Fail(status, kTiffStatusReadFailed);
    for (uint32_t k = 0; k < inStrip; ++k, ++row) {
      put(row, 0, buffer.data() + static_cast<size_t>(k) * scanline, width,
          static_cast<size_t>(scanline));
    }
  }
  return finish(std::move(dib));
}

HDIB ReadTiff(const std::string& path, uint32_t directoryOffset, int* status) {
  if (status) *status = kTiffStatusStart;
  FileHandle f = OpenFile(path, "rb");
  if (!f) return nullptr;
  return ReadTiffStream(f.get(), directoryOffset, status);
}

bool WriteTiff(const std::string& path, const DibBlock& dib, int compression, int* status) {
  if (status) *status = kTiffWriteStatusStart;
  if (!DibIsConsistent(dib) || dib.header().biCompression != BI_RGB) return false;
  const BITMAPINFOHEADER& h = dib.header();
  const int bitCount = h.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return false;
  static const uint16_t kCompression[] = {COMPRESSION_NONE,      COMPRESSION_LZW,
                                          COMPRESSION_PACKBITS,  COMPRESSION_CCITTFAX3,
                                          COMPRESSION_CCITTFAX4, COMPRESSION_CCITTRLE};
  if (compression < 0 || compression > 5) return false;
  if (compression >= 3 && bitCount != 1) {
    if (status) *status = kTiffWriteStatusNotBilevel;
    return false;
  }
  const uint32_t width = static_cast<uint32_t>(h.biWidth);
  const uint32_t height = static_cast<uint32_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
  const RGBQUAD* table = dib.colours();
  const uint32_t tableCount = bitCount <= 8 ? DibColourCount(dib) : 0;
  auto entry = [&](uint32_t i) { return i < tableCount ? table[i] : RGBQUAD{0, 0, 0, 0}; };

  // 1-bit pictures whose table is black and white (either way round) are bilevel; other
  // colours need a colour map.
  uint16_t photometric;
  bool flip = false;
  if (bitCount == 1) {
    auto grey = [](RGBQUAD q, uint8_t v) {
      return q.rgbRed == v && q.rgbGreen == v && q.rgbBlue == v;
    };
    if (grey(entry(0), 0) && grey(entry(1), 255)) {
      photometric = PHOTOMETRIC_MINISBLACK;
    } else if (grey(entry(0), 255) && grey(entry(1), 0)) {
      photometric = PHOTOMETRIC_MINISWHITE;
    } else if (compression >= 3) {
      photometric = PHOTOMETRIC_MINISBLACK;  // fax codes know only black and white
      flip = (entry(0).rgbGreen > entry(1).rgbGreen);
    } else {
      photometric = PHOTOMETRIC_PALETTE;
    }
  } else {
    photometric = bitCount <= 8 ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB;
  }
  const uint16_t samples = bitCount <= 8 ? 1 : bitCount == 32 ? 4 : 3;
  const uint16_t bitsPerSample = bitCount <= 8 ? static_cast<uint16_t>(bitCount) : 8;

  AtomicFile out(path);
  FileHandle f = OpenFile(out.tempPath(), "w+b");
  if (!f) return false;
  bool ok = true;
  {
    TiffHandle tiff = OpenTiff(f.get(), "w");
    if (!tiff) return false;
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_COMPRESSION, kCompression[compression]);
    TIFFSetField(t, TIFFTAG_SOFTWARE, "Quendrolix Media Editor");
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(h.biXPelsPerMeter));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(h.biYPelsPerMeter));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    if (samples == 4) {
      uint16_t extra = EXTRASAMPLE_UNASSALPHA;
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                 compression == 3 || compression == 4 ? height : TIFFDefaultStripSize(t, 0));
    std::vector<uint16_t> red, green, blue;
    if (photometric == PHOTOMETRIC_PALETTE) {
      const uint32_t n = 1u << bitCount;
      red.resize(n);
      green.resize(n);
      blue.resize(n);
      for (uint32_t i = 0; i < n; ++i) {
        red[i] = static_cast<uint16_t>(entry(i).rgbRed * 257);
        green[i] = static_cast<uint16_t>(entry(i).rgbGreen * 257);
        blue[i] = static_cast<uint16_t>(entry(i).rgbBlue * 257);
      }
      TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    const size_t stride = DibRowStride(width, bitCount);
    const uint8_t* rows = DibPixels(dib);
    std::vector<uint8_t> line(size_t{width} * 4 + 4);
    for (uint32_t y = 0; y < height && ok; ++y) {
      const uint8_t* src = rows + static_cast<size_t>(h.biHeight < 0 ? y : height - 1 - y) * stride;
      if (bitCount <= 8) {
        std::memcpy(line.data(), src, std::min(stride, line.size()));
        if (flip)
          for (size_t i = 0; i < stride; ++i) line[i] = static_cast<uint8_t>(~line[i]);
      } else if (bitCount == 16) {
        for (uint32_t x = 0; x < width; ++x) {
          int v = src[2 * x] | (src[2 * x + 1] << 8);
          int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
          line[3 * x] = static_cast<uint8_t>((r << 3) | (r >> 2));
          line[3 * x + 1] = static_cast<uint8_t>((g << 3) | (g >> 2));
          line[3 * x + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
        }
      } else {
        const int n = bitCount / 8;
        for (uint32_t x = 0; x < width; ++x) {
          const uint8_t* p = src + size_t{x} * n;
          uint8_t* q = line.data() + size_t{x} * n;
          q[0] = p[2];
          q[1] = p[1];
          q[2] = p[0];
          if (n == 4) q[3] = p[3];
        }
      }
      if (TIFFWriteScanline(t, line.data(), y, 0) < 0) ok = false;
    }
    if (ok && !TIFFFlush(t)) ok = false;
  }
  if (std::fclose(f.release()) != 0) ok = false;
  return ok && out.Commit();
}

namespace {

// Walks the chain of directories, storing every offset (the first one too, even when it is
// 0), until a zero next offset, a loop, a directory the file does not hold, or `maximum`
// directories. Returns the directories walked.
int64_t WalkDirectories(std::FILE* f, std::vector<uint32_t>& offsets, int64_t maximum) {
  offsets.clear();
  if (!f || maximum <= 0) return 0;
  uint8_t head[8];
  if (!ReadExact(f, head, sizeof head)) return 0;
  const TiffByteOrder order{head[0] == 'M' && head[1] == 'M'};
  uint32_t offset = order.U32(head + 4);
  offsets.push_back(offset);
  if (offset == 0) return 0;
  std::set<uint32_t> seen;
  int64_t count = 0;
  while (count < maximum) {
    if (!seen.insert(offset).second) break;  // a chain that loops
    uint8_t n[2];
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || !ReadExact(f, n, 2)) break;
    uint32_t entries = order.U16(n);
    uint8_t next[4];
    if (std::fseek(f, static_cast<long>(entries) * 12, SEEK_CUR) != 0 || !ReadExact(f, next, 4))
      break;
    ++count;
    offset = order.U32(next);
    if (count < maximum) offsets.push_back(offset);
    if (offset == 0) break;
  }
  // Only directories that were walked are pages; a trailing 0 or unread offset is not.
  return count;
}

}  // namespace

int CountTiffPagesStream(std::FILE* f, std::vector<uint32_t>& offsets, int maximum) {
  const int64_t count = WalkDirectories(f, offsets, maximum);
  return count >= maximum ? 1 : static_cast<int>(count);
}

TiffPageList ListTiffPages(const std::string& path, int64_t budget) {
  TiffPageList list;
  FileHandle f = OpenFile(path, "rb");
  if (!f || budget <= 0) return list;
  // One more than the budget tells a file that has more from one that has just as many.
  std::vector<uint32_t> offsets;
  int64_t count = WalkDirectories(f.get(), offsets, budget + 1);
  if (count > budget) {
    list.budgetReached = true;
    count = budget;
  }
  offsets.resize(static_cast<size_t>(std::min<int64_t>(count, offsets.size())));
  list.offsets = std::move(offsets);
  return list;
}

int CountTiffPages(const std::string& path, std::vector<uint32_t>& offsets, int maximum) {
  FileHandle f = OpenFile(path, "rb");
  return CountTiffPagesStream(f.get(), offsets, maximum);
}

}  // namespace quendrolix
