// The frame getter: any frame of a video stream as a packed DIB, decoding delta frames
// from the key frame before them. Streams our own decoders do not read go to the
// library decoders of platform/av, which deliver 24-bit frames.

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/av/video_decoder.h"
#include "platform/vfw/avi_objects.h"
#include "platform/vfw/codec.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix {

class AviGetFrame {
 public:
  AviGetFrame(AviStream* stream, std::unique_ptr<VideoDecompressor> decoder,
              std::unique_ptr<av::SampleVideoDecoder> library, HDIB frame, int wantedBits)
      : stream_(stream),
        decoder_(std::move(decoder)),
        library_(std::move(library)),
        frame_(std::move(frame)),
        wantedBits_(wantedBits) {
    stream_->AddRef();
    start_ = stream_->Start();
    length_ = stream_->Length();
  }
  ~AviGetFrame() { stream_->Release(); }

  const DibBlock* Get(LONG pos) {
    const int64_t i = int64_t{pos} - start_;
    if (i < 0 || i >= length_) return nullptr;
    if (library_) {
      if (!BringFromLibrary(i)) return nullptr;
      current_ = i;
    } else if (i != current_ && !Bring(i)) {
      current_ = -1;
      return nullptr;
    }
    current_ = i;
    if (wantedBits_ == 0) return frame_.get();
    if (!converted_ || convertedFor_ != i) {
      if (!Convert()) return nullptr;
      convertedFor_ = i;
    }
    return converted_.get();
  }

 private:
  bool Decode(int64_t i) {
    if (stream_->ReadSample(static_cast<LONG>(i + start_), sample_) != AVIERR_OK) return false;
    if (sample_.empty()) return true;  // an empty sample repeats the frame before
    return decoder_->Decode(sample_.data(), sample_.size(), *frame_);
  }

  void Clear() { std::memset(DibPixels(*frame_), 0, frame_->size() - DibPixelOffset(*frame_)); }

  bool Bring(int64_t i) {
    if (decoder_->IntraOnly()) {
      // The newest stored picture at or before i: empty samples repeat it.
      for (int64_t j = i; j >= 0; --j) {
        if (stream_->ReadSample(static_cast<LONG>(j + start_), sample_) != AVIERR_OK) return false;
        if (!sample_.empty()) return decoder_->Decode(sample_.data(), sample_.size(), *frame_);
      }
      Clear();
      return true;
    }
    int64_t from;
    bool keyBetween = false;
    if (current_ >= 0 && i > current_) {
      for (int64_t k = current_ + 1; k <= i && !keyBetween; ++k)
        keyBetween = stream_->IsKeyFrame(static_cast<LONG>(k + start_));
    }
    if (current_ >= 0 && i > current_ && !keyBetween) {
      from = current_ + 1;
    } else {
      from = i;
      while (from > 0 && !stream_->IsKeyFrame(static_cast<LONG>(from + start_))) --from;
      Clear();
    }
    for (int64_t k = from; k <= i; ++k)
      if (!Decode(k)) return false;
    return true;
  }

  // Bytes of stored sample k (0 for an empty one; -1 when it cannot be read).
  int64_t SampleBytes(int64_t k) {
    LONG bytes = 0, samples = 0;
    if (stream_->Read(static_cast<LONG>(k + start_), 1, nullptr, 0, &bytes, &samples) !=
            AVIERR_OK ||
        samples != 1)
      return -1;
    return bytes;
  }

  // Library decoders take the samples in stored order and give pictures in display
  // order. Sequential requests go on where decoding stands; others start again at the
  // key frame at or before the frame asked for.
  bool BringFromLibrary(int64_t i) {
    if (i == shown_) return true;
    int64_t target = i;
    if (!library_->Reorders()) {
      // Without reordering, the picture of sample k is frame k, and an empty sample
      // repeats the picture before it.
      while (target > 0 && SampleBytes(target) == 0) --target;
      if (target == shown_) return true;
    }
    int64_t key = target;
    while (key > 0 && !stream_->IsKeyFrame(static_cast<LONG>(key + start_))) --key;
    if (!started_ || target < nextDisplay_ || key > nextSample_) {
      library_->Flush();
      nextSample_ = key;
      nextDisplay_ = key;
      drained_ = false;
      started_ = true;
    }
    for (;;) {
      int64_t index = -1;
      switch (library_->Receive(*frame_, &index)) {
        case av::SampleVideoDecoder::Result::kPicture: {
          int64_t display = nextDisplay_;
          // Samples that gave no picture (damaged ones) are skipped over by number.
          if (!library_->Reorders() && index > display && index < length_) display = index;
          nextDisplay_ = display + 1;
          shown_ = display;
          if (display == target) return true;
          if (display > target) return false;  // its picture never came
          break;
        }
        case av::SampleVideoDecoder::Result::kNeedSample:
          if (drained_) return false;
          if (nextSample_ >= length_) {
            library_->Drain();
            drained_ = true;
            break;
          }
          if (stream_->ReadSample(static_cast<LONG>(nextSample_ + start_), sample_) == AVIERR_OK &&
              !sample_.empty())
            library_->Send(sample_.data(), sample_.size(), nextSample_);
          ++nextSample_;
          break;
        case av::SampleVideoDecoder::Result::kEnd:
          drained_ = true;
          return false;
      }
    }
  }

  bool Convert() {
    const BITMAPINFOHEADER& h = frame_->header();
    const int w = h.biWidth, rows = h.biHeight;
    if (!converted_) {
      converted_ = NewDib(w, rows, wantedBits_, 0);
      if (!converted_) return false;
    }
    const size_t inStride = DibRowStride(w, h.biBitCount);
    const size_t outStride = DibRowStride(w, wantedBits_);
    const uint8_t* in = DibPixels(*frame_);
    uint8_t* out = DibPixels(*converted_);
    const RGBQUAD* palette = frame_->colours();
    const uint32_t colours = DibColourCount(*frame_);
    rowBuffer_.resize(static_cast<size_t>(w) * 3);
    for (int y = 0; y < rows; ++y) {
      uint8_t* dst = out + static_cast<size_t>(y) * outStride;
      RowToBgr(in + static_cast<size_t>(y) * inStride, h.biBitCount, palette, colours, w,
               rowBuffer_.data());
      if (wantedBits_ == 24) {
        std::memcpy(dst, rowBuffer_.data(), rowBuffer_.size());
      } else {
        for (int x = 0; x < w; ++x) {
          std::memcpy(dst + 4 * x, rowBuffer_.data() + 3 * x, 3);
          dst[4 * x + 3] = 0;
        }
      }
    }
    return true;
  }

  AviStream* stream_;
  std::unique_ptr<VideoDecompressor> decoder_;
  std::unique_ptr<av::SampleVideoDecoder> library_;
  HDIB frame_;
  int wantedBits_;
  HDIB converted_;
  int64_t convertedFor_ = -1;
  int64_t start_ = 0, length_ = 0;
  int64_t current_ = -1;
  // Library decoding: the frame in frame_, the next sample to send, the next picture's
  // number, and whether the decoder has been told that the samples ended.
  int64_t shown_ = -1, nextSample_ = 0, nextDisplay_ = 0;
  bool started_ = false, drained_ = false;
  std::vector<uint8_t> sample_;
  std::vector<uint8_t> rowBuffer_;
};

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* wanted) {
  if (!pavi) return nullptr;
  AVISTREAMINFO info{};
  if (pavi->Info(info) != AVIERR_OK || info.fccType != streamtypeVIDEO || pavi->Writable())
    return nullptr;
  int wantedBits = 0;
  if (wanted && wanted->biBitCount != 0) {
    if (wanted->biBitCount != 24 && wanted->biBitCount != 32) return nullptr;
    wantedBits = wanted->biBitCount;
  }
  std::vector<uint8_t> format;
  if (pavi->ReadFormat(format) != AVIERR_OK) return nullptr;
  auto decoder = OpenDecompressor(format, info.fccHandler);
  std::unique_ptr<av::SampleVideoDecoder> library;
  std::vector<uint8_t> out;
  if (decoder) {
    out = decoder->OutputFormat();
  } else {
    library = av::SampleVideoDecoder::Open(format, info.fccHandler, nullptr);
    if (!library) return nullptr;
    out = MakeVideoFormat(library->width(), library->height(), 24, BI_RGB,
                          static_cast<uint32_t>(DibRowStride(library->width(), 24) *
                                                static_cast<size_t>(library->height())),
                          {});
  }
  const BITMAPINFOHEADER h = FormatHeader(out);
  if (wantedBits == h.biBitCount) wantedBits = 0;
  const size_t pixels = DibRowStride(h.biWidth, h.biBitCount) * static_cast<size_t>(h.biHeight);
  HDIB frame = DibBlock::Allocate(out.size() + pixels);
  if (!frame) return nullptr;
  std::memcpy(frame->data(), out.data(), out.size());
  return new (std::nothrow)
      AviGetFrame(pavi, std::move(decoder), std::move(library), std::move(frame), wantedBits);
}

const DibBlock* AVIStreamGetFrame(PGETFRAME pgf, LONG pos) {
  return pgf ? pgf->Get(pos) : nullptr;
}

HRESULT AVIStreamGetFrameClose(PGETFRAME pgf) {
  if (!pgf) return AVIERR_BADHANDLE;
  delete pgf;
  return AVIERR_OK;
}

}  // namespace quendrolix
