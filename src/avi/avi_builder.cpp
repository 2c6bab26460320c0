#include "avi/avi_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "avi/codec_options.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace {

// The least version of the AVI services the builder works with: 1.10.
constexpr DWORD kLeastVersion = 0x0109FFFF;

void ShowCouldNotLoad(const std::string& path) {
  Prompts().ShowMessage("Could not load " + path);
}

LONG FormatSize(const DibBlock& frame) {
  return static_cast<LONG>(sizeof(BITMAPINFOHEADER) + 4 * frame.header().biClrUsed);
}

}  // namespace

AviBuilder::AviBuilder(FrameComposer composer, const AVICOMPRESSOPTIONS* options)
    : composer_(std::move(composer)), options_(options) {}

void AviBuilder::SetRate(int framesPerSecond) {
  framesPerSecond_ = std::max(framesPerSecond, 1);
}

void AviBuilder::SetDepth(int requestedBits) {
  depth_ = FrameDepthFor(requestedBits);
}

void AviBuilder::Add(const std::string& path, unsigned frameCount) {
  paths_.push_back(path);
  counts_.push_back(frameCount);
}

bool AviBuilder::Write(const std::string& outputPath) {
  errorCode_ = 0;
  samples_ = 0;
  if (paths_.empty()) {
    errorCode_ = kAviBuildNoImages;
    return false;
  }
  if (VideoForWindowsVersion() <= kLeastVersion) {
    errorCode_ = kAviBuildOldLibrary;
    return false;
  }

  // Released in reverse order of creation; the file is complete (and renamed into place)
  // once its last reference goes, or discarded when anything failed on the way.
  ScopedAviFile file;
  HRESULT result = AVIFileOpen(file.out(), outputPath, OF_WRITE | OF_CREATE);
  if (result != AVIERR_OK) {
    errorCode_ = result;
    return false;
  }

  const int n = static_cast<int>(paths_.size());
  CBmp picture;
  if (!picture.Load(paths_[0])) {
    ShowCouldNotLoad(paths_[0]);
    return false;  // error code 0; no stream was made, so nothing is left behind
  }
  int w0 = 0, h0 = 0;
  picture.GetSize(w0, h0);

  ScopedAviStream stream, compressed;
  {
    // The format comes from the first image as it is, before the logo goes on.
    HDIB format = MakeFrameDib(picture, depth_);
    if (!format) {
      errorCode_ = AVIERR_MEMORY;
      return false;
    }
    AVISTREAMINFO info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = 0;
    info.dwScale = 1;
    info.dwRate = static_cast<DWORD>(framesPerSecond_);
    info.dwSuggestedBufferSize = format->header().biSizeImage;
    info.rcFrame = {0, 0, w0, h0};
    result = AVIFileCreateStream(file.get(), stream.out(), &info);
    if (result == AVIERR_OK)
      result = AVIMakeCompressedStream(compressed.out(), stream.get(),
                                       options_ ? options_ : &CodecOptions());
    if (result == AVIERR_OK)
      result = AVIStreamSetFormat(compressed.get(), 0, format->data(), FormatSize(*format));
    if (result != AVIERR_OK) {
      errorCode_ = result;
      return false;
    }
  }

  LONG sample = 0;
  for (int j = 0; j < n && errorCode_ == 0; ++j) {
    if (j >= 1) {
      if (!picture.Load(paths_[j])) {
        ShowCouldNotLoad(paths_[j]);
        break;
      }
      int w = 0, h = 0;
      picture.GetSize(w, h);
      if (w != w0 || h != h0) {
        Prompts().ShowMessage(
            StringPrintf("The size of %s (%dx%d) does not match the size of animation (%dx%d)",
                         paths_[j].c_str(), w, h, w0, h0));
        break;
      }
      Prompts().ShowStatus(StringPrintf("%d of %d: %s", j + 1, n, paths_[j].c_str()));
    }
    const unsigned count = counts_[j] ? counts_[j] : 1;
    composer_.Stamp(picture);
    HDIB frame = MakeFrameDib(picture, depth_);
    if (!frame) {
      errorCode_ = AVIERR_MEMORY;
      break;
    }
    const uint8_t* rows = DibPixels(*frame);
    const LONG bytes = static_cast<LONG>(frame->header().biSizeImage);
    for (unsigned c = 0; c < count; ++c) {
      result = AVIStreamWrite(compressed.get(), sample, 1, rows, bytes, AVIIF_KEYFRAME, nullptr,
                              nullptr);
      if (result != AVIERR_OK) {
        errorCode_ = result;
        break;
      }
      ++sample;
    }
  }
  samples_ = sample;
  compressed.reset();
  stream.reset();
  file.reset();
  return errorCode_ == 0;
}

}  // namespace quendrolix
