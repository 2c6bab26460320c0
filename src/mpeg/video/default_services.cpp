// The real services behind the MPG conversions: the AVI file services for the input, the
// layer II encoder for the sound, the multiplexer for the system stream.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "image/cbmp.h"
#include "image/dib_functions.h"
#include "mpeg/audio/layer2_encoder.h"
#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "mpeg/system/mpg_merge.h"
#include "mpeg/system/multiplexer.h"
#include "mpeg/video/engine_services.h"
#include "platform/host/conversion_log.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {
namespace {

// An AVI file opened for the conversion. The frame getter delivers every frame in the
// stream's natural uncompressed form; the driver checks its depth.
class VfwAviInput : public AviConversionInput {
 public:
  explicit VfwAviInput(PAVIFILE file) : file_(file) {}
  ~VfwAviInput() override { CloseVideo(); }

  bool FileInfo(AviFileSummary& summary) override {
    AVIFILEINFO info{};
    if (AVIFileInfo(file_.get(), &info, sizeof info) != AVIERR_OK) return false;
    summary = AviFileSummary{info.dwWidth, info.dwHeight, info.dwRate, info.dwScale, info.dwLength};
    return true;
  }

  bool OpenVideo() override {
    CloseVideo();
    if (AVIFileGetStream(file_.get(), video_.out(), streamtypeVIDEO, 0) != AVIERR_OK) return false;
    getter_ = AVIStreamGetFrameOpen(video_.get(), nullptr);
    return getter_ != nullptr;
  }

  void CloseVideo() override {
    if (getter_) AVIStreamGetFrameClose(getter_);
    getter_ = nullptr;
    video_.reset();
  }

  const DibBlock* FetchFrame(int index) override {
    return getter_ ? AVIStreamGetFrame(getter_, index) : nullptr;
  }

  bool SoundFormat(AviSoundFormat& format) override {
    ScopedAviStream audio;
    if (AVIFileGetStream(file_.get(), audio.out(), streamtypeAUDIO, 0) != AVIERR_OK) return false;
    AVISTREAMINFO info{};
    if (AVIStreamInfo(audio.get(), &info, sizeof info) != AVIERR_OK) return false;
    LONG size = 0;
    // A PCM record may be the short 16-byte form; anything huge is not a sound format.
    if (AVIStreamReadFormat(audio.get(), 0, nullptr, &size) != AVIERR_OK || size < 16 ||
        size > 65536)
      return false;
    // Sound a library decoder takes reaches the encoder decoded: it is checked as it
    // will be delivered.
    const WAVEFORMATEX wave = DeliveredSoundFormat(audio.get());
    format =
        AviSoundFormat{wave.wFormatTag, wave.nChannels, wave.nSamplesPerSec, wave.wBitsPerSample};
    return true;
  }

 private:
  ScopedAviFile file_;
  ScopedAviStream video_;
  PGETFRAME getter_ = nullptr;
};

// A project image as the encoder reads it: loaded by extension and handed over as a
// 24-bit block (8-bit pictures keep their colours through their palette).
std::function<HDIB(const std::string& path)> DefaultImageLoader() {
  return [](const std::string& path) -> HDIB {
    CBmp picture;
    if (!picture.Load(path) || !picture.bitmap()) return nullptr;
    return DibFromBitmapAtDepth(*picture.bitmap(), 24, picture.palette());
  };
}

MultiplexCounters MultiplexToSystemStream(const std::string& videoPath,
                                          const std::string& audioPath,
                                          const std::string& outputPath) {
  MultiplexFiles(videoPath, audioPath, outputPath);
  return TheSystemStreamEngine().counters;
}

}  // namespace

std::unique_ptr<AviConversionInput> OpenAviConversionInput(const std::string& path) {
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, path, OF_READ | OF_SHARE_EXCLUSIVE) != AVIERR_OK) return nullptr;
  return std::make_unique<VfwAviInput>(file);
}

bool EncodeAviSoundToMp2(const Mp2Request& request, int& silentSamples) {
  silentSamples = 0;
  Mp2EngineState& engine = Mp2Engine();
  engine.ResetParameters();
  engine.parameters.layer = request.layer;
  engine.parameters.bitRate = request.bitRateKbps;
  std::string reason;
  std::unique_ptr<SoundStreamReader> stream = OpenSoundStream(request.sourcePath, &reason);
  if (!stream) {
    ReportLine("Error: the sound of %s cannot be read (%s)", request.sourcePath.c_str(),
               reason.c_str());
    return false;
  }
  if (!CheckSoundFormat(*stream)) return false;
  PcmSource source(*stream);
  EncodeMp2File(request.mp2Path, source);
  silentSamples = static_cast<int>(std::min<uint64_t>(engine.zeroFilledFrames, INT_MAX));
  return true;
}

MpegEngineServices DefaultMpegEngineServices() {
  MpegEngineServices services;
  services.openAvi = OpenAviConversionInput;
  services.loadImage = DefaultImageLoader();
  services.encodeAviAudio = [](AviConversionInput&, const Mp2Request& request, int& silent) {
    return EncodeAviSoundToMp2(request, silent);
  };
  services.convertSoundToMp2 = ConvertSoundToMp2Logged;
  services.multiplex = MultiplexToSystemStream;
  return services;
}

}  // namespace quendrolix
