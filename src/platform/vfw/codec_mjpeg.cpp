// Motion JPEG ('MJPG'): every frame a baseline JPEG through libjpeg-turbo. The decoder
// also takes the frames of capture cards that leave out the Huffman tables (the
// standard tables apply then).

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/vfw/codec_internal.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::codecs {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void Quiet(j_common_ptr, int) {}
void QuietOutput(j_common_ptr) {}

void InstallErrors(jpeg_error_mgr* err) {
  jpeg_std_error(err);
  err->error_exit = ErrorExit;
  err->emit_message = Quiet;
  err->output_message = QuietOutput;
}

// Compresses rows given top to bottom as BGR triples. Only plain data crosses the
// setjmp, so leaving by longjmp skips no destructor.
bool CompressJpeg(int width, int height, int quality, uint8_t* const* rows, unsigned char** out,
                  unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  cinfo.err = &err.base;
  InstallErrors(&err.base);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height)
    jpeg_write_scanlines(&cinfo, const_cast<JSAMPARRAY>(rows + cinfo.next_scanline),
                         cinfo.image_height - cinfo.next_scanline);
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// Decodes one JPEG into a bottom-up 24-bit frame of frameWidth x frameHeight; a picture
// of another size lands at the top-left corner, cut to the frame.
bool DecompressJpeg(const uint8_t* data, size_t size, uint8_t* pixels, int frameWidth,
                    int frameHeight, size_t stride, uint8_t* scratchRow, size_t scratchBytes) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = &err.base;
  InstallErrors(&err.base);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_EXT_BGR;
  if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
      cinfo.image_width > static_cast<JDIMENSION>(kMaxImageDimension) ||
      cinfo.image_height > static_cast<JDIMENSION>(kMaxImageDimension) ||
      size_t{cinfo.image_width} * 3 > scratchBytes) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const int copyWidth = std::min<int>(frameWidth, static_cast<int>(cinfo.output_width));
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW row = scratchRow;
    jpeg_read_scanlines(&cinfo, &row, 1);
    if (y < frameHeight)
      std::memcpy(pixels + static_cast<size_t>(frameHeight - 1 - y) * stride, scratchRow,
                  static_cast<size_t>(copyWidth) * 3);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

class MjpegCompressor : public VideoCompressor {
 protected:
  bool Prepare() override {
    if (!ReadGeometry(inputFormat_, g_)) return false;
    const size_t stride = DibRowStride(g_.width, 24);
    outputFormat_ = MakeVideoFormat(g_.width, g_.height, 24, kHandlerMjpeg,
                                    static_cast<uint32_t>(stride * g_.height), {});
    if (g_.bitCount != 24) converted_.resize(static_cast<size_t>(g_.width) * 3 * g_.height);
    rows_.resize(g_.height);
    return true;
  }

  bool CompressFrame(const uint8_t* pixels, bool, int quality, std::vector<uint8_t>& out) override {
    const int q = std::clamp((quality + 50) / 100, 1, 100);
    for (int y = 0; y < g_.height; ++y) {
      // Top to bottom for the JPEG; DIB rows are stored bottom-up unless top-down.
      const int stored = g_.topDown ? y : g_.height - 1 - y;
      const uint8_t* src = pixels + static_cast<size_t>(stored) * g_.stride;
      if (g_.bitCount == 24) {
        rows_[y] = const_cast<uint8_t*>(src);
      } else {
        uint8_t* dst = converted_.data() + static_cast<size_t>(y) * g_.width * 3;
        RowToBgr(src, g_.bitCount, g_.colours.data(), static_cast<uint32_t>(g_.colours.size()),
                 g_.width, dst);
        rows_[y] = dst;
      }
    }
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = CompressJpeg(g_.width, g_.height, q, rows_.data(), &buffer, &size);
    if (ok) out.assign(buffer, buffer + size);
    std::free(buffer);
    return ok;
  }

 private:
  FrameGeometry g_;
  std::vector<uint8_t> converted_;
  std::vector<uint8_t*> rows_;
};

class MjpegDecompressor : public VideoDecompressor {
 public:
  explicit MjpegDecompressor(const FrameGeometry& g) : g_(g) {
    stride_ = DibRowStride(g.width, 24);
    outputFormat_ = MakeVideoFormat(g.width, g.height, 24, BI_RGB,
                                    static_cast<uint32_t>(stride_ * g.height), {});
    scratch_.resize(static_cast<size_t>(kMaxImageDimension) * 3);
  }
  bool IntraOnly() const override { return true; }
  bool Decode(const uint8_t* data, size_t size, DibBlock& frame) override {
    if (size < 4) return false;
    return DecompressJpeg(data, size, DibPixels(frame), g_.width, g_.height, stride_,
                          scratch_.data(), scratch_.size());
  }

 private:
  FrameGeometry g_;
  size_t stride_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace

std::unique_ptr<VideoCompressor> NewMjpegCompressor() {
  return std::make_unique<MjpegCompressor>();
}

std::unique_ptr<VideoDecompressor> NewMjpegDecompressor(const std::vector<uint8_t>& format) {
  FrameGeometry g;
  if (!ReadGeometry(format, g)) return nullptr;
  g.topDown = false;
  return std::make_unique<MjpegDecompressor>(g);
}

}  // namespace quendrolix::codecs
