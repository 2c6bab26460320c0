#include "mpeg/video/mpeg_converter.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/system/mpg_merge.h"
#include "mpeg/system/multiplexer.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/thread_pool.h"
#include "mpeg/video/video_encoder.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

// The engine keeps process-wide state: one conversion at a time. The lock, or none after
// saying that another conversion is running.
std::unique_lock<std::mutex> StartConversion() {
  static std::mutex mutex;
  std::unique_lock<std::mutex> busy(mutex, std::try_to_lock);
  if (!busy) ReportLine("Error: another MPG conversion is running");
  return busy;
}

// Position of the extension's dot, or npos when the last name has none.
size_t ExtensionDot(const std::string& path) {
  size_t dot = path.rfind('.');
  if (dot == std::string::npos) return dot;
  if (path.find('/', dot) != std::string::npos) return std::string::npos;
  return dot;
}

std::string WithoutExtension(const std::string& path) {
  size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? path : path.substr(0, dot);
}

// The multiplexed output: as given, ".mpg" added when it has no extension, or the input's
// name with ".mpg" when it is empty.
std::string ResolveOutputPath(const std::string& output, const std::string& input) {
  if (output.empty()) return WithoutExtension(input) + ".mpg";
  if (ExtensionDot(output) == std::string::npos) return output + ".mpg";
  return output;
}

// A source whose picture MPEG-1 cannot carry is refused before anything is written. With
// a requested size the source is only cropped, so only the coded size matters (checked
// when the parameters are derived).
bool SourceSizeFits(int64_t width, int64_t height, bool resizeRequested) {
  if (resizeRequested) {
    if (width <= 4095 && height <= 4095) return true;
    ReportLine("Error: frame is too big (%dx%d pixels)", static_cast<int>(width),
               static_cast<int>(height));
    return false;
  }
  return CheckPictureSize(static_cast<int>(std::min<int64_t>(width, INT32_MAX)),
                          static_cast<int>(std::min<int64_t>(height, INT32_MAX)), kMaxSourceWidth);
}

bool IsBitDepthSupported(int bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void ReportCounters(const MultiplexCounters& counters) {
  EngineSettings& settings = MpegEngineSettings();
  settings.videoTimedOut = counters.videoTimedOut;
  settings.audioTimedOut = counters.audioTimedOut;
  ReportMultiplexCounters(counters, /*endings=*/false);
}

// Copies `from` to `to` through a fresh name beside `to`, so that a failed copy leaves
// whatever was there before.
bool PlaceFile(const fs::path& from, const fs::path& to) {
  AtomicFile copy(to.string());
  std::error_code ec;
  if (!copy.ok()) return false;
  fs::copy_file(from, copy.tempPath(), fs::copy_options::overwrite_existing, ec);
  return !ec && copy.Commit();
}

void ApplyVideoCoding(const VideoCoding& coding, EngineSettings& settings) {
  if (coding.videoRateKbps == kAutomaticVideoRate) settings.automaticVideoRate = true;
  if (coding.videoRateKbps > 0) settings.videoRate = coding.videoRateKbps * 1000.0;
}

void ReportSubstitutions() {
  unsigned substituted = MpegEngineSettings().substitutedFrames;
  if (substituted) ReportLine("Warning: %u frames were substituted", substituted);
}

// The image list as a frame source: entry i of the expanded list, loaded through the
// image loader. The last few images loaded are kept, so a still held for many frames is
// loaded once even though the coding order steps back and forth between two pictures.
class ImageListSource : public MpegFrameSource {
 public:
  ImageListSource(std::vector<std::string> entries, std::function<HDIB(const std::string&)> loader)
      : entries_(std::move(entries)), loader_(std::move(loader)) {
    // Consecutive entries of one path are one picture held on screen.
    identities_.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i)
      identities_.push_back(i > 0 && entries_[i] == entries_[i - 1] ? identities_.back()
                                                                    : static_cast<int>(i));
  }

  void Seed(const std::string& path, HDIB dib) { Keep(path, std::move(dib)); }

  const DibBlock* FetchFrame(int index) override {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return nullptr;
    const std::string& path = entries_[index];
    for (size_t i = 0; i < kept_.size(); ++i) {
      if (kept_[i].first == path) {
        std::rotate(kept_.begin(), kept_.begin() + i, kept_.begin() + i + 1);
        return kept_.front().second.get();
      }
    }
    HDIB dib = loader_ ? loader_(path) : nullptr;
    if (!dib) return nullptr;
    Keep(path, std::move(dib));
    return kept_.front().second.get();
  }

  std::string FrameName(int index) const override {
    return index >= 0 && static_cast<size_t>(index) < entries_.size() ? entries_[index]
                                                                      : std::string();
  }

  int PictureIdentity(int index) const override {
    return index >= 0 && static_cast<size_t>(index) < identities_.size() ? identities_[index]
                                                                         : index;
  }

 private:
  static constexpr size_t kKept = 3;  // the two references and a B picture
  void Keep(const std::string& path, HDIB dib) {
    if (kept_.size() == kKept) kept_.pop_back();
    kept_.insert(kept_.begin(), {path, std::move(dib)});
  }

  std::vector<std::string> entries_;
  std::vector<int> identities_;
  std::function<HDIB(const std::string&)> loader_;
  std::vector<std::pair<std::string, HDIB>> kept_;
};

}  // namespace

bool IsAudioRateOfLayer(int layer, int rate) {
  if (layer != 1 && layer != 2) return false;
  const auto& table = layer == 1 ? mp2::kLayer1BitRates : mp2::kLayer2BitRates;
  return rate > 0 && std::find(table.begin() + 1, table.end(), rate) != table.end();
}

bool RunVideoEncoder(const SourceDescription& source, MpegFrameSource& frames,
                     const std::string& target) {
  EngineSettings& settings = MpegEngineSettings();
  EncodingParameters params;
  if (!DeriveEncodingParameters(source, settings, params)) return false;
  if (params.frames <= 0) {
    ReportLine("Error: no frames to encode");
    return false;
  }
  if (settings.slideshow) {
    // Worth it when pictures stay on screen for two frames or more on average; a list of
    // single frames is an animation, which the fixed pattern predicts far better.
    int64_t pictures = 1;
    for (uint32_t i = 1; i < source.length; ++i)
      if (frames.PictureIdentity(static_cast<int>(i)) !=
          frames.PictureIdentity(static_cast<int>(i - 1)))
        ++pictures;
    params.slideshow = params.frames >= 2 * pictures;
  }

  // Written under a fresh name beside the target and put in place at the end, so that an
  // abandoned run never leaves half a stream where a good file was.
  AtomicFile output;
  std::FILE* file = output.Open(target) ? output.Stream("w+b") : nullptr;
  if (!file) {
    ReportLine("Error: couldn't open %s", target.c_str());
    return false;
  }
  bool written = false;
  {
    ThreadPool pool(MpegVideoThreads());
    VideoEncoder encoder(params, &frames, pool);
    VideoBitWriter out(file);
    encoder.EncodeSequence(out);
    written = !out.WriteFailed();
  }
  if (!written || !output.Commit()) {
    ReportLine("Error: couldn't write %s", target.c_str());
    return false;
  }
  return true;
}

bool ConvertAviToMpg(const std::string& inputPath, const std::string& outputPath, int audioLayer,
                     int totalRateKbps, int audioRateKbps, unsigned frameRateSelection, int width,
                     int height, const VideoCoding& coding) {
  const std::unique_lock<std::mutex> busy = StartConversion();
  if (!busy) return false;
  EngineMemoryScope memory;
  EngineSettings& settings = MpegEngineSettings();
  const MpegEngineServices& services = GetMpegEngineServices();

  ReportLine("Converting %s to %s...", inputPath.c_str(), outputPath.c_str());
  settings.Reset();
  settings.sourceIsAvi = true;
  if (audioLayer) settings.audioLayer = audioLayer;
  if (totalRateKbps) settings.totalRateUnits = totalRateKbps >> 3;
  if (audioRateKbps) settings.audioRate = audioRateKbps;
  if (frameRateSelection) settings.frameRateSelection = frameRateSelection;
  if (width || height) {
    settings.resizeRequested = true;
    settings.requestedWidth = width;
    settings.requestedHeight = height;
  }

  if (!IsAudioRateOfLayer(settings.audioLayer, settings.audioRate)) {
    ReportLine("Error: %i audio bit-rate is unsupported", settings.audioRate);
    return false;
  }
  if (settings.frameRateSelection != 0) settings.noAudio = true;
  ApplyVideoCoding(coding, settings);

  std::string input = inputPath;
  if (ExtensionDot(input) == std::string::npos) input += ".avi";
  const std::string output = ResolveOutputPath(outputPath, input);

  // Replacing the source with its own conversion would lose it.
  std::error_code sameEc;
  if (fs::equivalent(input, output, sameEc)) {
    ReportLine("Error: %s would replace its own source", output.c_str());
    return false;
  }
  std::unique_ptr<AviConversionInput> avi = services.openAvi(input);
  if (!avi) {
    ReportLine("Error: %s is locked or unavailable", input.c_str());
    return false;
  }
  AviFileSummary info;
  if (!avi->FileInfo(info) || !avi->OpenVideo()) {
    ReportLine("Error: corrupted video");
    return false;
  }
  struct GetterCloser {
    AviConversionInput* avi;
    ~GetterCloser() {
      if (avi) avi->CloseVideo();
    }
  } closer{avi.get()};
  double fps = info.scale ? static_cast<double>(info.rate) / info.scale : 0.0;
  ReportLine("Video size: %ux%u at %4.2f FPS", info.width, info.height, fps);
  const DibBlock* first = avi->FetchFrame(0);
  if (!first || first->size() < sizeof(BITMAPINFOHEADER)) {
    ReportLine("Error: corrupted video");
    return false;
  }
  const BITMAPINFOHEADER& header = first->header();
  ReportLine("BPP: %u", static_cast<unsigned>(header.biBitCount));
  if (!IsBitDepthSupported(header.biBitCount)) {
    ReportLine("Error: %i BPP is unsupported (must be 8, 16, 24 or 32)", header.biBitCount);
    return false;
  }
  if (!SourceSizeFits(static_cast<int64_t>(info.width), static_cast<int64_t>(info.height),
                      settings.resizeRequested))
    return false;
  unsigned roundedFps = static_cast<unsigned>(std::floor(fps + 0.5));
  ReportLine("Number of frames: %u (%u seconds)", info.length,
             roundedFps ? info.length / roundedFps : 0u);
  if (header.biCompression != BI_RGB) ReportLine("Error: frames must be BI_RGB compressed");

  if (!settings.noAudio) {
    AviSoundFormat sound;
    if (!avi->SoundFormat(sound)) {
      settings.noAudio = true;
    } else {
      ReportLine("Audio sampling rate: %6.3fKHz (%u bits per sample)", sound.samplesPerSec / 1000.0,
                 static_cast<unsigned>(sound.bitsPerSample));
      if (sound.formatTag != 1) {
        ReportLine("Error: compressed audio is unsupported");
        settings.noAudio = true;
      }
      if (sound.samplesPerSec != 11025 && sound.samplesPerSec != 22050 &&
          sound.samplesPerSec != 44100) {
        ReportLine("Error: unsupported audio sampling rate (must be 11.025, 22.05, or 44.1kHz)");
        settings.noAudio = true;
      }
      if (sound.bitsPerSample != 8 && sound.bitsPerSample != 16) {
        ReportLine("Error: %i bit audio is not supported (must be 8 or 16)", sound.bitsPerSample);
        settings.noAudio = true;
      }
      // The encoder's blocks hold one or two channels; refused here, before the video is
      // given less room for a sound that would not come.
      if (!settings.noAudio && (sound.channels < 1 || sound.channels > 2)) {
        ReportLine("Error: %i channel audio is not supported (must be 1 or 2)", sound.channels);
        settings.noAudio = true;
      }
    }
  }

  // The elementary streams live in a private folder, never beside the user's files.
  PrivateTempFolder temp("mpg");
  if (!settings.noAudio && !temp.ok()) {
    ReportLine("Warning: no temporary folder: the MPG has no sound");
    settings.noAudio = true;
  }
  std::string base = fs::path(WithoutExtension(output)).filename().string();
  if (base.empty()) base = "video";
  const std::string videoPath = settings.noAudio ? output : temp.File(base + ".m1v").string();
  const std::string audioPath =
      settings.noAudio ? std::string() : temp.File(base + ".mp2").string();

  SourceDescription source{info.width, info.height, info.rate, info.scale, info.length};
  ReportLine("Compressing video...");
  bool videoDone = false;
  try {
    videoDone = RunVideoEncoder(source, *avi, videoPath);
  } catch (const EngineAbort&) {
    return false;
  }
  avi->CloseVideo();
  closer.avi = nullptr;
  if (!videoDone) return false;
  ReportSubstitutions();
  ReportLine("Video completed");

  if (settings.noAudio) return true;

  ReportLine("Audio bit-rate: %u", static_cast<unsigned>(settings.audioRate * 1024));
  Mp2Request request{input, audioPath, settings.audioLayer, settings.audioRate};
  int silent = 0;
  bool audioDone = false;
  try {
    audioDone = services.encodeAviAudio(*avi, request, silent);
  } catch (const CFileException&) {
    audioDone = false;
  }
  settings.silentAudioSamples = silent;
  avi.reset();
  if (!audioDone) {
    // The video is good: keep it as a video-only MPG rather than nothing.
    ReportLine("Warning: the sound could not be encoded: the MPG has no sound");
    if (PlaceFile(videoPath, output)) return true;
    ReportLine("Error: couldn't write %s", output.c_str());
    return false;
  }
  ReportLine("Audio completed");
  if (silent) ReportLine("Warning: %d audio samples set to 0 length", silent);

  ReportLine("Multiplexing...");
  MultiplexCounters counters;
  try {
    counters = services.multiplex(videoPath, audioPath, output);
  } catch (const CFileException&) {
    return false;
  }
  ReportLine("MPG completed!");
  ReportCounters(counters);
  return true;
}

bool ConvertImageListToMpg(const std::vector<std::string>& imagePaths,
                           const std::vector<int>& frameCounts, const std::string& soundPath,
                           const std::string& outputPath, int audioLayer, int totalRateKbps,
                           int audioRateKbps, unsigned frameRateSelection, int width, int height,
                           uint32_t sourceRate, uint32_t sourceScale, const VideoCoding& coding) {
  const std::unique_lock<std::mutex> busy = StartConversion();
  if (!busy) return false;
  EngineMemoryScope memory;
  EngineSettings& settings = MpegEngineSettings();
  const MpegEngineServices& services = GetMpegEngineServices();
  settings.Reset();
  settings.sourceIsAvi = false;

  // Each image repeated as many times as its frame count.
  std::vector<std::string> entries;
  for (size_t i = 0; i < imagePaths.size(); ++i) {
    int count = i < frameCounts.size() ? frameCounts[i] : 0;
    for (int n = 0; n < count; ++n) entries.push_back(imagePaths[i]);
  }

  PrivateTempFolder temp("mpg");
  std::string audioPath;
  settings.noAudio = true;
  if (!soundPath.empty()) {
    std::error_code ec;
    bool exists = fs::is_regular_file(soundPath, ec);
    if (!exists) {
      ReportLine("Warning: %s not found: the MPG has no sound", soundPath.c_str());
    } else if (Lower(soundPath).find(".mp2") != std::string::npos) {
      audioPath = soundPath;
    } else {
      settings.audioLayer = audioLayer ? audioLayer : 2;
      settings.audioRate = audioRateKbps ? audioRateKbps : 128;
      if (temp.ok()) {
        std::string mp2 = temp.File("Temp.Mp2").string();
        bool converted = false;
        try {
          converted = services.convertSoundToMp2(soundPath, mp2);
        } catch (const CFileException&) {
          converted = false;
        }
        if (converted) audioPath = mp2;
      }
    }
    settings.noAudio = audioPath.empty();
  }
  if (audioRateKbps) settings.audioRate = audioRateKbps;
  if (audioLayer) settings.audioLayer = audioLayer;
  settings.totalRateUnits = totalRateKbps ? totalRateKbps >> 3 : 150;
  settings.frameRateSelection = frameRateSelection;
  ApplyVideoCoding(coding, settings);
  settings.slideshow = coding.slideshow;
  if (width || height) {
    settings.resizeRequested = true;
    settings.requestedWidth = width;
    settings.requestedHeight = height;
  }

  if (imagePaths.empty()) {
    ReportLine("Error: no frames to encode");
    return false;
  }
  HDIB first = services.loadImage(imagePaths[0]);
  if (!first || first->size() < sizeof(BITMAPINFOHEADER)) {
    ReportLine("Error: loading of %s failed", imagePaths[0].c_str());
    return false;
  }
  const BITMAPINFOHEADER header = first->header();
  ReportLine("BPP: %u", static_cast<unsigned>(header.biBitCount));
  if (!IsBitDepthSupported(header.biBitCount)) {
    ReportLine("Error: %i BPP is unsupported (must be 8, 16, 24 or 32)", header.biBitCount);
    return false;
  }
  int firstHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (header.biWidth <= 0 || firstHeight == 0) {
    ReportLine("Error: frame is too big (%dx%d pixels)", header.biWidth, firstHeight);
    return false;
  }
  if (!SourceSizeFits(header.biWidth, firstHeight, settings.resizeRequested)) return false;
  ReportLine("Number of images: %u", static_cast<unsigned>(imagePaths.size()));
  if (header.biCompression != BI_RGB) {
    ReportLine("Error: frames must be BI_RGB compressed");
    return false;
  }
  if (entries.empty()) {
    ReportLine("Error: no frames to encode");
    return false;
  }

  const std::string output = settings.noAudio ? outputPath : ResolveOutputPath(outputPath, "");
  const std::string videoPath = settings.noAudio ? outputPath : temp.File("TempMpg.mpg").string();

  ImageListSource source(entries, services.loadImage);
  source.Seed(imagePaths[0], std::move(first));
  SourceDescription description{
      static_cast<uint32_t>(header.biWidth), static_cast<uint32_t>(firstHeight), sourceRate,
      sourceScale ? sourceScale : kImageListScale, static_cast<uint32_t>(entries.size())};
  ReportLine("Compressing video...");
  bool videoDone = false;
  try {
    videoDone = RunVideoEncoder(description, source, videoPath);
  } catch (const EngineAbort&) {
    return false;
  }
  if (!videoDone) return false;
  ReportSubstitutions();
  ReportLine("Video completed");
  if (settings.noAudio) return true;

  MultiplexCounters counters;
  try {
    counters = services.multiplex(videoPath, audioPath, output);
  } catch (const CFileException&) {
    Prompts().ShowMessage(kMultiplexerExceptionMessage);
    return false;
  }
  ReportCounters(counters);
  return true;
}

}  // namespace quendrolix
