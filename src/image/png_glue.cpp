#include "image/png_glue.h"

#include <png.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "image/picture_limits.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

namespace {

// The library's complaint is kept for the message of a decode that fails part-way.
struct PngErrorText {
  std::string text;
};

void PngError(png_structp png, png_const_charp text) {
  if (auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png)))
    error->text = text ? text : "";
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

constexpr const char* kNotPng = "This is not a valid PNG File!";
constexpr const char* kNoMemory = "Can't allocate memory";
constexpr const char* kTooBig = "Sorry!\nThis File is toooo big for me.";

// State kept outside the frame that calls setjmp.
struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorText error;
  HDIB dib;
  std::vector<png_bytep> rowPointers;
  bool complete = false;  // every row was decoded
};

void Decode(PngDecoder& d, std::FILE* f, int64_t fileBytes, std::string& message) {
  if (setjmp(png_jmpbuf(d.png))) return;
  png_init_io(d.png, f);
  png_set_user_limits(d.png, kMaxImageDimension, kMaxImageDimension);
  png_set_chunk_malloc_max(d.png, 64u << 20);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Mutated inputs would almost all stop at a checksum and never reach the code below.
  png_set_crc_action(d.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(d.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
  png_read_info(d.png, d.info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr,
               nullptr);
  if (!PictureWithinBudget(width, height)) {
    message = kTooBig;
    return;
  }
  // The compressed data can hold at most deflate's best ratio of the filtered rows.
  const uint64_t rawRowBytes =
      (uint64_t{width} * bitDepth * png_get_channels(d.png, d.info) + 7) / 8 + 1;
  if (!CodedBytesCanHold(static_cast<uint64_t>(std::max<int64_t>(fileBytes, 0)),
                         rawRowBytes * height, kRatioDeflate)) {
    message = StringPrintf("The PNG file is too short for a %ux%u picture", width, height);
    return;
  }
  if (interlace != PNG_INTERLACE_NONE && height > 10000) {
    message = kTooBig;
    return;
  }
  png_set_strip_16(d.png);
  // Transparency becomes an alpha channel, which the loader lays over the background.
  const bool transparency = png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0;
  if (transparency) {
    png_set_expand(d.png);
    png_set_tRNS_to_alpha(d.png);
  }
  int bitCount;
  uint32_t colours = 0;
  if (transparency && colourType != PNG_COLOR_TYPE_RGB_ALPHA &&
      colourType != PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (colourType == PNG_COLOR_TYPE_GRAY) png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    bitCount = 32;
  } else {
    switch (colourType) {
      case PNG_COLOR_TYPE_PALETTE:
      case PNG_COLOR_TYPE_GRAY:
        colours = 1u << std::min(bitDepth, 8);
        if (bitDepth == 2) png_set_packing(d.png);  // no 2-bit rows in a DIB: one byte a pixel
        bitCount = bitDepth == 2 ? 8 : std::min(bitDepth, 8);
        break;
      case PNG_COLOR_TYPE_RGB:
        png_set_bgr(d.png);
        bitCount = 24;
        break;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_bgr(d.png);
        bitCount = 32;
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(d.png);
        png_set_bgr(d.png);
        bitCount = 32;
        break;
      default:
        return;
    }
  }
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  const size_t stride = DibRowStride(width, bitCount);
  if (png_get_rowbytes(d.png, d.info) > stride) return;

  d.dib = NewDib(static_cast<int>(width), static_cast<int>(height), bitCount, colours);
  if (!d.dib) {
    message = kNoMemory;
    return;
  }
  if (colours) {
    RGBQUAD* table = d.dib->colours();
    png_colorp palette = nullptr;
    int count = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE &&
        png_get_PLTE(d.png, d.info, &palette, &count) == PNG_INFO_PLTE) {
      for (int i = 0; i < count && i < int(colours); ++i)
        table[i] = {palette[i].blue, palette[i].green, palette[i].red, 0};
    } else {
      for (uint32_t i = 0; i < colours; ++i) {
        auto v = static_cast<uint8_t>(i * 255 / (colours - 1));
        table[i] = {v, v, v, 0};
      }
    }
  }
  uint8_t* rows = DibPixels(*d.dib);
  d.rowPointers.resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    d.rowPointers[y] = rows + static_cast<size_t>(height - 1 - y) * stride;
  png_read_image(d.png, d.rowPointers.data());
  d.complete = true;
  // What follows the pixels (text, time, the end chunk) may be damaged without harm.
  png_read_end(d.png, nullptr);
}

}  // namespace

HDIB ReadPngStream(std::FILE* f, std::string& message) {
  message = kNotPng;
  if (!f) return nullptr;
  uint8_t signature[8];
  if (!ReadExact(f, signature, 8) || png_sig_cmp(signature, 0, 8) != 0) return nullptr;
  const int64_t fileBytes = FileLength(f);
  PngDecoder d;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d.error, PngError, PngWarning);
  if (!d.png) return nullptr;
  d.info = png_create_info_struct(d.png);
  if (d.info) {
    png_set_sig_bytes(d.png, 8);
    Decode(d, f, fileBytes, message);
  }
  png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
  // A picture whose rows broke off is not a picture: it would show black where the data
  // ended.
  if (d.dib && !d.complete) {
    message = "The PNG file is damaged or cut short";
    if (!d.error.text.empty()) message += " (" + d.error.text + ")";
    return nullptr;
  }
  return std::move(d.dib);
}

HDIB ReadPng(const std::string& path, std::string& message) {
  FileHandle f = OpenFile(path, "rb");
  if (!f) {
    message = StringPrintf("Can't open file: %s", path.c_str());
    return nullptr;
  }
  return ReadPngStream(f.get(), message);
}

namespace {

struct PngEncoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> row;
};

bool Encode(PngEncoder& e, std::FILE* f, const DibBlock& dib) {
  if (setjmp(png_jmpbuf(e.png))) return false;
  png_init_io(e.png, f);
  const BITMAPINFOHEADER& h = dib.header();
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const int bitCount = h.biBitCount;
  int colourType, bitDepth = 8;
  if (bitCount <= 8) {
    colourType = PNG_COLOR_TYPE_PALETTE;
    bitDepth = bitCount;
  } else if (bitCount == 32) {
    colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  } else {
    colourType = PNG_COLOR_TYPE_RGB;
  }
  png_set_IHDR(e.png, e.info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    uint32_t count = std::min<uint32_t>(DibColourCount(dib), 1u << bitCount);
    std::vector<png_color> palette(std::max<uint32_t>(count, 1));
    for (uint32_t i = 0; i < count; ++i)
      palette[i] = {dib.colours()[i].rgbRed, dib.colours()[i].rgbGreen, dib.colours()[i].rgbBlue};
    png_set_PLTE(e.png, e.info, palette.data(), static_cast<int>(palette.size()));
  }
  png_set_pHYs(e.png, e.info, static_cast<png_uint_32>(std::lround(h.biXPelsPerMeter * 39.37)),
               static_cast<png_uint_32>(std::lround(h.biYPelsPerMeter * 39.37)),
               PNG_RESOLUTION_METER);
  png_write_info(e.png, e.info);
  if (bitCount == 24 || bitCount == 32) png_set_bgr(e.png);
  const size_t stride = DibRowStride(width, bitCount);
  const uint8_t* rows = DibPixels(dib);
  e.row.resize(static_cast<size_t>(width) * 3 + 4);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rows + static_cast<size_t>(h.biHeight < 0 ? y : height - 1 - y) * stride;
    if (bitCount == 16) {  // 5-5-5 widened to RGB
      for (int x = 0; x < width; ++x) {
        int v = src[2 * x] | (src[2 * x + 1] << 8);
        int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        e.row[3 * x] = static_cast<uint8_t>((r << 3) | (r >> 2));
        e.row[3 * x + 1] = static_cast<uint8_t>((g << 3) | (g >> 2));
        e.row[3 * x + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
      }
      png_write_row(e.png, e.row.data());
    } else {
      png_write_row(e.png, const_cast<uint8_t*>(src));
    }
  }
  png_write_end(e.png, e.info);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const DibBlock& dib) {
  if (!DibIsConsistent(dib) || dib.header().biCompression != BI_RGB) return false;
  if (!IsDibBitCount(dib.header().biBitCount)) return false;
  AtomicFile out(path);
  FileHandle f = OpenFile(out.tempPath(), "wb");
  if (!f) return false;
  PngEncoder e;
  e.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!e.png) return false;
  e.info = png_create_info_struct(e.png);
  bool ok = e.info && Encode(e, f.get(), dib);
  png_destroy_write_struct(&e.png, e.info ? &e.info : nullptr);
  if (std::fclose(f.release()) != 0) ok = false;
  return ok && out.Commit();
}

}  // namespace quendrolix
