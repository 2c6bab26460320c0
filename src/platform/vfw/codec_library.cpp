// The compressors of the FFmpeg libraries behind the codec registry: frames of any depth
// are handed to them as 24-bit colour, one coded sample per frame.

#include <cmath>
#include <cstring>

#include "platform/av/video_encoder.h"
#include "platform/vfw/codec_internal.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::codecs {
namespace {

class LibraryCompressor : public VideoCompressor {
 protected:
  bool Prepare() override {
    const av::LibraryCompressor* info = av::FindLibraryCompressor(handler_);
    if (!info || !ReadGeometry(inputFormat_, g_)) return false;
    av::EncoderSettings settings;
    settings.quality = quality_;
    settings.keyFrameEvery = settings_.keyFrameEvery;
    // The rate only steers the coder's budget; a millisecond fraction is close enough.
    const double fps = settings_.framesPerSecond > 0 ? settings_.framesPerSecond : 15;
    settings.rateNumerator = static_cast<int>(std::lround(fps * 1000));
    settings.rateDenominator = 1000;
    if (settings.rateNumerator <= 0) settings.rateNumerator = 15000;
    encoder_ = av::VideoEncoder::Open(handler_, g_.width, g_.height, settings, &error_);
    if (!encoder_) return false;
    temporal_ = info->temporal;
    outputFormat_ =
        MakeVideoFormat(g_.width, g_.height, encoder_->bitCount(), handler_,
                        static_cast<uint32_t>(DibRowStride(g_.width, 24) * g_.height), {});
    const std::vector<uint8_t>& extra = encoder_->extraData();
    outputFormat_.insert(outputFormat_.end(), extra.begin(), extra.end());
    // Rows of other depths, or stored top-down, are turned into bottom-up 24-bit rows.
    direct_ = g_.bitCount == 24 && !g_.topDown;
    if (!direct_) rows_.resize(DibRowStride(g_.width, 24) * static_cast<size_t>(g_.height));
    return true;
  }

  bool CompressFrame(const uint8_t* pixels, bool key, int, std::vector<uint8_t>& out) override {
    const size_t stride24 = DibRowStride(g_.width, 24);
    const uint8_t* rows = pixels;
    if (!direct_) {
      for (int y = 0; y < g_.height; ++y) {
        const int from = g_.topDown ? g_.height - 1 - y : y;
        RowToBgr(pixels + g_.stride * static_cast<size_t>(from), g_.bitCount, g_.colours.data(),
                 static_cast<uint32_t>(g_.colours.size()), g_.width,
                 rows_.data() + stride24 * static_cast<size_t>(y));
      }
      rows = rows_.data();
    }
    return encoder_->Encode(rows, stride24, key, out, lastKey_, &error_);
  }

  bool Temporal() const override { return temporal_; }
  bool LastWasKey(bool) const override { return lastKey_; }

 private:
  FrameGeometry g_;
  std::unique_ptr<av::VideoEncoder> encoder_;
  std::vector<uint8_t> rows_;
  std::string error_;
  bool direct_ = true;
  bool temporal_ = true;
  bool lastKey_ = false;
};

}  // namespace

std::unique_ptr<VideoCompressor> NewLibraryCompressor() {
  return std::make_unique<LibraryCompressor>();
}

}  // namespace quendrolix::codecs
