#include "image/jpeg_glue.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "image/orientation.h"
#include "image/picture_limits.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace quendrolix {

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: ours shows the
// library's message and jumps back to the glue, which releases everything.
struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  int damage;  // the first damaging warning's code, 0 while there is none
  char damageText[JMSG_LENGTH_MAX];
};

void FatalError(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  Prompts().ShowMessage(text, "JPG Fatal Error", PromptIcon::kStop);
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Most warnings are harmless (stray bytes between segments), but these mean the library
// filled part of the picture with grey: such a picture is damaged, not loaded.
bool DamagingWarning(int code) {
  return code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
         code == JWRN_MUST_RESYNC;
}

// Everything the decoder owns lives here, outside the frame that calls setjmp, so that a
// jump back leaves nothing to clean up but what this holds.
struct Decoder {
  jpeg_decompress_struct info{};
  ErrorManager error{};
  HDIB dib;  // 24-bit, bottom-up, filled as the scanlines come
  std::vector<uint8_t> scan;
  bool created = false;
};

void Warning(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  auto* error = reinterpret_cast<ErrorManager*>(info->err);
  if (error->damage == 0 && DamagingWarning(info->err->msg_code)) {
    error->damage = info->err->msg_code;
    (*info->err->format_message)(info, error->damageText);
  }
}

void QuietWarning(j_common_ptr, int) {}

void Refuse(const std::string& text, std::string* failure) {
  Prompts().ShowMessage(text, "JPG Fatal Error", PromptIcon::kStop);
  if (failure) *failure = text;
}

// CMYK as Adobe writes it stores every ink inverted (255 = no ink); others store ink.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

bool Decode(Decoder& d, std::FILE* f, std::string* failure,
            const std::function<void(int& width, int& height)>& needed) {
  d.info.err = jpeg_std_error(&d.error.pub);
  d.error.pub.error_exit = FatalError;
  d.error.pub.emit_message = Warning;
  if (setjmp(d.error.jump)) return false;
  const int64_t fileBytes = FileLength(f);
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_stdio_src(&d.info, f);
  jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);  // EXIF, for the orientation
  jpeg_read_header(&d.info, TRUE);
  // The saved segments go with the picture's memory at the end of decompression.
  int orientation = 0;
  for (jpeg_saved_marker_ptr m = d.info.marker_list; m && orientation == 0; m = m->next)
    if (m->marker == JPEG_APP0 + 1) orientation = ExifOrientation(m->data, m->data_length);
  // Refuse pictures beyond our limits, or beyond what the file's bytes can code, before
  // the library allocates for them.
  const uint32_t w = d.info.image_width, h = d.info.image_height;
  if (!PictureWithinBudget(w, h)) {
    Refuse(StringPrintf("The picture (%ux%u) is larger than the %d megapixels allowed", w, h,
                        PictureMegapixels()),
           failure);
    return false;
  }
  const uint64_t perByte = d.info.arith_code ? kArithmeticJpegPixelsPerByte : kJpegPixelsPerByte;
  if (!CodedBytesCanHold(static_cast<uint64_t>(std::max<int64_t>(fileBytes, 0)), uint64_t{w} * h,
                         perByte)) {
    Refuse(StringPrintf("The file is too short for a %ux%u picture", w, h), failure);
    return false;
  }
  d.info.mem->max_memory_to_use = 512L << 20;
  if (needed) {
    // The wanted size is of the upright picture; orientations 5 to 8 swap its sides.
    const bool swapped = orientation >= 5 && orientation <= 8;
    int wantWidth = static_cast<int>(swapped ? h : w),
        wantHeight = static_cast<int>(swapped ? w : h);
    needed(wantWidth, wantHeight);
    if (swapped) std::swap(wantWidth, wantHeight);
    d.info.scale_num = 1;
    d.info.scale_denom = static_cast<unsigned>(
        JpegReduction(static_cast<int>(w), static_cast<int>(h), wantWidth, wantHeight));
  }
  // Colour comes out in the block's own blue-green-red order, straight into its rows;
  // CMYK and YCCK come out as CMYK and are mixed down to colour here.
  const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
  const bool colour = d.info.num_components == 3;
  if (cmyk)
    d.info.out_color_space = JCS_CMYK;
  else if (colour)
    d.info.out_color_space = JCS_EXT_BGR;
  else if (d.info.num_components != 1)
    d.info.out_color_space = JCS_GRAYSCALE;  // two-channel oddities: the first channel
  jpeg_start_decompress(&d.info);
  const int components = d.info.output_components;
  if (components != (cmyk ? 4 : colour ? 3 : 1)) return false;
  const int width = static_cast<int>(d.info.output_width);
  const int height = static_cast<int>(d.info.output_height);
  d.dib = NewDib(width, height, 24, 0);
  if (!d.dib) {
    Refuse("JPG out of memory", failure);
    return false;
  }
  d.scan.resize(static_cast<size_t>(width) * components);
  const size_t stride = DibRowStride(width, 24);
  uint8_t* rows = DibPixels(*d.dib);
  const bool inverted = d.info.saw_Adobe_marker;
  while (d.info.output_scanline < d.info.output_height) {
    uint8_t* out = rows + static_cast<size_t>(height - 1 - d.info.output_scanline) * stride;
    JSAMPROW row = colour && !cmyk ? out : d.scan.data();
    if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
    if (cmyk)
      CmykToBgr(d.scan.data(), out, width, inverted);
    else if (!colour)
      for (int x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = d.scan[x];
  }
  jpeg_finish_decompress(&d.info);
  if (d.error.damage != 0) {
    // The library's own words ("Premature end of JPEG file", ...), as for its errors.
    Refuse(d.error.damageText, failure);
    return false;
  }
  if (orientation > 1) {
    d.dib = OrientDib(std::move(d.dib), orientation);
    if (!d.dib) {
      Refuse("JPG out of memory", failure);
      return false;
    }
  }
  return true;
}

}  // namespace

int JpegReduction(int width, int height, int neededWidth, int neededHeight) {
  for (int reduction : {8, 4, 2})
    if (width % reduction == 0 && height % reduction == 0 &&
        width / reduction >= std::max(neededWidth, 1) &&
        height / reduction >= std::max(neededHeight, 1))
      return reduction;
  return 1;
}

HDIB ReadJpegStream(std::FILE* f, const std::string& name, std::string* failure,
                    const std::function<void(int& width, int& height)>& needed) {
  if (failure) failure->clear();
  if (!f) {
    const std::string text = StringPrintf("JPEG :\nCan't open %s\n", name.c_str());
    Prompts().ShowMessage(text, "", PromptIcon::kNone);
    if (failure) *failure = "the file cannot be opened";
    return nullptr;
  }
  Decoder d;
  bool ok = Decode(d, f, failure, needed);
  if (d.created) jpeg_destroy_decompress(&d.info);
  if (!ok) return nullptr;
  return std::move(d.dib);
}

HDIB ReadJpeg(const std::string& path, std::string* failure,
              const std::function<void(int& width, int& height)>& needed) {
  FileHandle f = OpenFile(path, "rb");
  return ReadJpegStream(f.get(), path, failure, needed);
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
