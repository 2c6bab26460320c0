#include "image/jpeg_glue.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

extern "C" {
#include <jpeglib.h>
}

namespace quendrolix {

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: ours shows the
// library's message and jumps back to the glue, which releases everything.
struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void FatalError(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  Prompts().ShowMessage(text, "JPG Fatal Error", PromptIcon::kStop);
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void QuietWarning(j_common_ptr, int) {}

// Everything the decoder owns lives here, outside the frame that calls setjmp, so that a
// jump back leaves nothing to clean up but what this holds.
struct Decoder {
  jpeg_decompress_struct info{};
  ErrorManager error{};
  HDIB dib;  // 24-bit, bottom-up, filled as the scanlines come
  std::vector<uint8_t> scan;
  bool created = false;
};

bool Decode(Decoder& d, std::FILE* f) {
  d.info.err = jpeg_std_error(&d.error.pub);
  d.error.pub.error_exit = FatalError;
  d.error.pub.emit_message = QuietWarning;
  if (setjmp(d.error.jump)) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_stdio_src(&d.info, f);
  jpeg_read_header(&d.info, TRUE);
  // Refuse pictures beyond our limits before the library allocates for them.
  if (d.info.image_width > kMaxImageDimension || d.info.image_height > kMaxImageDimension ||
      int64_t{d.info.image_width} * d.info.image_height > DibPixelLimit()) {
    Prompts().ShowMessage("JPG out of memory", "", PromptIcon::kStop);
    return false;
  }
  d.info.mem->max_memory_to_use = 512L << 20;
  // Colour comes out in the block's own blue-green-red order, straight into its rows.
  const bool colour = d.info.num_components == 3;
  if (colour) d.info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d.info);
  const int components = d.info.output_components;
  if (components != (colour ? 3 : 1)) return false;  // CMYK and the like
  const int width = static_cast<int>(d.info.output_width);
  const int height = static_cast<int>(d.info.output_height);
  d.dib = NewDib(width, height, 24, 0);
  if (!d.dib) {
    Prompts().ShowMessage("JPG out of memory", "", PromptIcon::kStop);
    return false;
  }
  d.scan.resize(static_cast<size_t>(width));
  const size_t stride = DibRowStride(width, 24);
  uint8_t* rows = DibPixels(*d.dib);
  while (d.info.output_scanline < d.info.output_height) {
    uint8_t* out = rows + static_cast<size_t>(height - 1 - d.info.output_scanline) * stride;
    JSAMPROW row = colour ? out : d.scan.data();
    if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
    if (!colour)
      for (int x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = d.scan[x];
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

HDIB ReadJpegStream(std::FILE* f, const std::string& name) {
  if (!f) {
    Prompts().ShowMessage(StringPrintf("JPEG :\nCan't open %s\n", name.c_str()), "",
                          PromptIcon::kNone);
    return nullptr;
  }
  Decoder d;
  bool ok = Decode(d, f);
  if (d.created) jpeg_destroy_decompress(&d.info);
  if (!ok) return nullptr;
  return std::move(d.dib);
}

HDIB ReadJpeg(const std::string& path) {
  FileHandle f = OpenFile(path, "rb");
  return ReadJpegStream(f.get(), path);
}

namespace {

struct Encoder {
  jpeg_compress_struct info{};
  ErrorManager error{};
  bool created = false;
};

bool Encode(Encoder& e, std::FILE* f, const uint8_t* pixels, int width, int height, int colour,
            int quality) {
  e.info.err = jpeg_std_error(&e.error.pub);
  e.error.pub.error_exit = FatalError;
  e.error.pub.emit_message = QuietWarning;
  if (setjmp(e.error.jump)) return false;
  jpeg_create_compress(&e.info);
  e.created = true;
  jpeg_stdio_dest(&e.info, f);
  e.info.image_width = static_cast<JDIMENSION>(width);
  e.info.image_height = static_cast<JDIMENSION>(height);
  e.info.input_components = colour ? 3 : 1;
  e.info.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&e.info);
  jpeg_set_quality(&e.info, quality, TRUE);
  jpeg_start_compress(&e.info, TRUE);
  const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
  while (e.info.next_scanline < e.info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels + e.info.next_scanline * rowBytes);
    jpeg_write_scanlines(&e.info, &row, 1);
  }
  jpeg_finish_compress(&e.info);
  return true;
}

}  // namespace

bool WriteJpeg(const std::string& path, const uint8_t* rgb, int width, int height, int colour,
               int quality) {
  if (!rgb || width <= 0 || height <= 0 || width > 65500 || height > 65500) return false;
  std::vector<uint8_t> grey;
  const uint8_t* pixels = rgb;
  if (!colour) {
    try {
      grey.resize(static_cast<size_t>(width) * height);
    } catch (const std::exception&) {
      Prompts().ShowMessage("Memory error", "", PromptIcon::kNone);
      return false;
    }
    for (size_t i = 0; i < grey.size(); ++i)
      grey[i] = static_cast<uint8_t>((rgb[3 * i] + rgb[3 * i + 1] + rgb[3 * i + 2]) / 3);
    pixels = grey.data();
  }
  AtomicFile out(path);
  FileHandle f = OpenFile(out.tempPath(), "wb");
  if (!f) {
    Prompts().ShowMessage(StringPrintf("Can't open %s\n", path.c_str()), "", PromptIcon::kNone);
    return false;
  }
  Encoder e;
  bool ok = Encode(e, f.get(), pixels, width, height, colour, quality);
  if (e.created) jpeg_destroy_compress(&e.info);
  if (std::fclose(f.release()) != 0) ok = false;
  return ok && out.Commit();
}

}  // namespace quendrolix
