#include "avi/avi_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "avi/codec_options.h"
#include "avi/create_commands.h"
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
  // A compressor that cannot code these frames is named before anything is written.
  refusal_ = CompressorRefusal((options_ ? *options_ : CodecOptions()).fccHandler, depth_, w0, h0);
  if (!refusal_.empty()) {
    errorCode_ = AVIERR_BADFORMAT;
    return false;
  }

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

bool MergeStreams(const std::string& videoPath, const std::string& soundPath,
                  const std::string& outputPath) {
  return MergeStreamsOutcome(videoPath, soundPath, outputPath) == MergeOutcome::kMerged;
}

MergeOutcome MergeStreamsOutcome(const std::string& videoPath, const std::string& soundPath,
                                 const std::string& outputPath) {
  // The stream table; every stream is released on the way out.
  struct StreamTable {
    std::vector<PAVISTREAM> handles;
    ~StreamTable() {
      for (PAVISTREAM s : handles) AVIStreamRelease(s);
    }
  } table;
  std::vector<PAVISTREAM>& streams = table.handles;
  auto takeStreams = [&streams](const std::string& path) {
    ScopedAviFile file;
    if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) return false;
    for (LONG i = 0; static_cast<int>(streams.size()) < kMaxMergeStreams; ++i) {
      PAVISTREAM stream = nullptr;
      if (AVIFileGetStream(file.get(), &stream, 0, i) != AVIERR_OK) break;
      streams.push_back(stream);
    }
    return true;  // the streams keep the file open
  };
  if (!takeStreams(videoPath) || !takeStreams(soundPath)) return MergeOutcome::kInputNotOpened;

  std::vector<AVICOMPRESSOPTIONS> options(streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    AVISTREAMINFO info{};
    AVIStreamInfo(streams[i], &info, sizeof(info));
    AVICOMPRESSOPTIONS& o = options[i];
    o.fccType = info.fccType;
    if (info.fccType == streamtypeVIDEO) {
      o.fccHandler = 0;  // copied as stored, never recompressed
      o.dwKeyFrameEvery = static_cast<DWORD>(-1);
      o.dwQuality = static_cast<DWORD>(-1);
      o.dwBytesPerSecond = 0;
      o.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE;
      o.dwInterleaveEvery = 1;
    } else if (info.fccType == streamtypeAUDIO) {
      o.dwFlags = AVICOMPRESSF_VALID;
      o.dwInterleaveEvery = 1;
      LONG size = 0;
      const LONG start = AVIStreamStart(streams[i]);
      if (AVIStreamReadFormat(streams[i], start, nullptr, &size) == AVIERR_OK && size > 0) {
        o.format.resize(static_cast<size_t>(size));
        if (AVIStreamReadFormat(streams[i], start, o.format.data(), &size) != AVIERR_OK)
          o.format.clear();
      }
    }
  }

  std::vector<const AVICOMPRESSOPTIONS*> records;
  for (const AVICOMPRESSOPTIONS& o : options) records.push_back(&o);
  HRESULT result = AVISaveV(outputPath, nullptr, AVISAVECALLBACK(),
                            static_cast<int>(streams.size()), streams.data(), records.data());
  if (result != AVIERR_OK) {
    Prompts().ShowMessage("File open error: merging streams failed");
    return MergeOutcome::kSaveFailed;
  }
  return MergeOutcome::kMerged;
}

bool MergeAviCommand(const std::string& videoPath, const std::string& soundPath,
                     const std::string& outputPath, PlaybackRequest* playback,
                     std::string* finalOutput) {
  std::string output = outputPath;
  // Judged on the file name alone, so a dotted folder does not hide a missing extension.
  if (std::filesystem::path(output).filename().string().find('.') == std::string::npos)
    output += ".avi";
  if (finalOutput) *finalOutput = output;
  switch (MergeStreamsOutcome(videoPath, soundPath, output)) {
    case MergeOutcome::kInputNotOpened:
      Prompts().ShowMessage("Codec error: please restart the program");
      return false;
    case MergeOutcome::kSaveFailed:
      return false;
    case MergeOutcome::kMerged:
      break;
  }
  if (playback) playback->Play(output);
  return true;
}

}  // namespace quendrolix
