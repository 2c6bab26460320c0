#include "avi/avi_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "avi/codec_options.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"

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
  refusal_.clear();
  samples_ = 0;
  leftOut_.clear();
  frameWidth_ = frameHeight_ = 0;
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
  const FOURCC handler = (options_ ? *options_ : CodecOptions()).fccHandler;
  PictureFitter fitter(format_, composer_);
  fitter.SetRounding([&](int& w, int& h) { RoundForCompressor(handler, depth_, w, h); },
                     CompressorSizeRule(handler));
  // With a scaling fit the first image that loads gives the frame; with the fit "none" the
  // first image has to load, as it always had to.
  fitter.SetPictures(paths_);
  int first = 0;
  HBITMAP picture;
  if (fitter.scales()) {
    first = fitter.First();
    if (first >= 0) picture = fitter.Picture(first);
  } else {
    picture = fitter.Load(paths_[0]);
  }
  if (!picture) {
    leftOut_ = fitter.leftOut();
    ShowCouldNotLoad(paths_[0]);
    return false;  // error code 0; no stream was made, so nothing is left behind
  }
  const int w0 = fitter.width(), h0 = fitter.height();
  frameWidth_ = w0;
  frameHeight_ = h0;
  // A compressor that cannot code these frames is named before anything is written.
  refusal_ = CompressorRefusal(handler, depth_, w0, h0);
  if (!refusal_.empty()) {
    errorCode_ = AVIERR_BADFORMAT;
    return false;
  }

  ScopedAviStream stream, compressed;
  {
    // The format comes from the first frame; the logo changes no field of it.
    HDIB format = MakeFrameDib(*picture, depth_);
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

  // With the fit "none" the stream stops at an image that does not load or has another
  // size, and every image from there on is left out.
  auto stopAt = [&](int j, const std::string& why) {
    fitter.LeaveOut(paths_[j], why);
    for (int k = j + 1; k < n; ++k)
      fitter.LeaveOut(paths_[k], "not reached: the animation stopped at " + paths_[j]);
  };
  LONG sample = 0;
  for (int j = first; j < n && errorCode_ == 0; ++j) {
    if (j > first && fitter.scales()) {
      // A picture that cannot be loaded is stood in for by the one before it.
      picture = fitter.Picture(j);
      if (!picture) {
        errorCode_ = AVIERR_MEMORY;
        break;
      }
      Prompts().ShowStatus(StringPrintf("%d of %d: %s", j + 1, n, paths_[j].c_str()));
    } else if (j > first) {
      std::string why;
      picture = fitter.Load(paths_[j], &why);
      if (!picture) {
        ShowCouldNotLoad(paths_[j]);
        stopAt(j, why);
        break;
      }
      const int w = picture->width(), h = picture->height();
      if (w != w0 || h != h0) {
        const std::string message =
            StringPrintf("The size of %s (%dx%d) does not match the size of animation (%dx%d)",
                         paths_[j].c_str(), w, h, w0, h0);
        Prompts().ShowMessage(message);
        stopAt(j, StringPrintf("its size %dx%d is not the animation's %dx%d", w, h, w0, h0));
        break;
      }
      Prompts().ShowStatus(StringPrintf("%d of %d: %s", j + 1, n, paths_[j].c_str()));
    }
    const unsigned count = counts_[j] ? counts_[j] : 1;
    HDIB frame = MakeFrameDib(*picture, depth_);
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
  leftOut_ = fitter.leftOut();
  compressed.reset();
  stream.reset();
  file.reset();
  return errorCode_ == 0;
}

void RoundForCompressor(FOURCC handler, int depth, int& width, int& height) {
  for (int step : {1, 2, 4, 8, 16}) {
    const int w = std::max(width / step * step, step), h = std::max(height / step * step, step);
    if (CompressorRefusal(handler, depth, w, h).empty()) {
      width = w;
      height = h;
      return;
    }
  }
}

std::string CompressorSizeRule(FOURCC handler) {
  const CodecDescription* codec = FindCodec(handler);
  if (codec && codec->sizeMultiple > 1)
    return StringPrintf("%s codes widths and heights in multiples of %d", codec->name.c_str(),
                        codec->sizeMultiple);
  return "the compressor codes no other size";
}

}  // namespace quendrolix
