// The library's scaler reaches past the ends of the rows it is given; our buffers must
// never be the ones it reaches into.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "platform/av/av_internal.h"
#include "platform/av/picture_scaler.h"

namespace quendrolix {
namespace {

constexpr uint8_t kGuard = 0xAB;

TEST(ScalerSlackTest, DecodedPicturesAreWrittenNoFurtherThanTheirRows) {
  const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV422P,
                                   AV_PIX_FMT_NV12,    AV_PIX_FMT_RGB24,    AV_PIX_FMT_PAL8,
                                   AV_PIX_FMT_GRAY8,   AV_PIX_FMT_YUYV422};
  for (AVPixelFormat format : formats)
    for (int w = 1; w <= 20; ++w)
      for (int h = 1; h <= 3; ++h)
        for (int outWidth : {w, 2 * w}) {
          av::Frame frame = av::NewFrame();
          frame->format = format;
          frame->width = w;
          frame->height = h;
          ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
          for (int p = 0; p < 4 && frame->data[p]; ++p)
            std::memset(frame->data[p], 0x5A + 13 * p, size_t(frame->linesize[p]) * (p ? 1 : h));
          const size_t stride = DibRowStride(outWidth, 24);
          std::vector<uint8_t> rows(stride * h + 64, kGuard);
          av::BgrConverter converter;
          ASSERT_TRUE(converter.Convert(*frame, rows.data(), outWidth, h, stride));
          size_t reached = 0;
          for (size_t i = stride * h; i < rows.size(); ++i)
            if (rows[i] != kGuard) reached = i - stride * h + 1;
          // Before the rows were made in a padded copy: 44 bytes for yuv420p 1x2.
          EXPECT_EQ(reached, 0u) << av_get_pix_fmt_name(format) << " " << w << "x" << h << " to "
                                 << outWidth;
        }
}

// `bytes` of pixels that end where an unreadable page begins.
uint8_t* BeforeAGuardPage(size_t bytes) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t pages = (bytes + page - 1) / page + 1;
  void* map =
      mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  uint8_t* base = static_cast<uint8_t*>(map);
  if (mprotect(base + (pages - 1) * page, page, PROT_NONE) != 0) return nullptr;
  uint8_t* pixels = base + (pages - 1) * page - bytes;
  std::memset(pixels, 0x60, bytes);
  return pixels;
}

void ReadPicturesThatEndAtAnUnreadablePage() {
  for (int w = 1; w <= 20; ++w)
    for (int h = 1; h <= 3; ++h) {
      const size_t stride = DibRowStride(w, 24);
      uint8_t* rows = BeforeAGuardPage(stride * h);
      if (!rows) _exit(2);
      av::Frame frame = av::NewFrame();
      frame->format = AV_PIX_FMT_YUV420P;
      frame->width = w + (w & 1);
      frame->height = h + (h & 1);
      if (av_frame_get_buffer(frame.get(), 0) < 0) _exit(2);
      av::FromBgrConverter toYuv;
      if (!toYuv.Convert(rows, stride, w, h, *frame)) _exit(3);
      std::vector<uint8_t> out(size_t(6) * w * h);
      if (!av::ScaleBgr({rows, w, h, stride}, {out.data(), 2 * w, h, size_t(6) * w})) _exit(4);
    }
  _exit(0);
}

TEST(ScalerSlackDeathTest, PicturesAreReadNoFurtherThanTheirRows) {
  // Before the rows were copied with room after them, a 1x1 picture read into the next page.
  EXPECT_EXIT(ReadPicturesThatEndAtAnUnreadablePage(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quendrolix
