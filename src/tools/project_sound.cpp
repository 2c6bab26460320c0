#include "tools/project_sound.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/av/audio_decoder.h"
#include "platform/host/conversion_log.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/wav_file.h"

namespace quendrolix {
namespace {

constexpr size_t kChunkFrames = 8192;

std::unique_ptr<av::AudioDecoder> OpenDecoder(const std::string& path, int rate, int channels,
                                              std::string& why) {
  std::unique_ptr<av::AudioDecoder> decoder = av::AudioDecoder::OpenFile(path, &why);
  if (!decoder) return nullptr;
  if (rate > 0 && !decoder->SetOutput(rate, channels)) {
    why = "the sound cannot be resampled";
    return nullptr;
  }
  return decoder;
}

bool Refuse(const std::string& soundFile, const std::string& why) {
  Prompts().ShowMessage(
      StringPrintf("Could not read the sound %s (%s)", soundFile.c_str(), why.c_str()));
  return false;
}

}  // namespace

int SoundRateFor(SoundUse use, int sourceRate) {
  switch (use) {
    case SoundUse::kLayer2:
      return sourceRate == 11025 || sourceRate == 22050 ? sourceRate : 44100;
    case SoundUse::kAviPcm:
      return std::clamp(sourceRate, 1000, 48000);
    case SoundUse::kAac: {
      static const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
      return std::find(std::begin(kRates), std::end(kRates), sourceRate) != std::end(kRates)
                 ? sourceRate
                 : 44100;
    }
  }
  return 44100;
}

ProjectSound::ProjectSound() = default;
ProjectSound::~ProjectSound() = default;

bool ProjectSound::Prepare(const std::string& soundFile, SoundFit fit, FrameRate pictureRate,
                           const std::vector<int>& counts, SoundUse use) {
  counts_.clear();
  for (int count : counts) counts_.push_back(std::max(count, 1));

  // First pass: what the sound is and how long it lasts at the consumer's rate.
  std::string why;
  std::unique_ptr<av::AudioDecoder> counting = OpenDecoder(soundFile, 0, 0, why);
  if (!counting) return Refuse(soundFile, why);
  sourceRate_ = counting->sourceRate();
  rate_ = SoundRateFor(use, sourceRate_);
  channels_ = counting->sourceChannels() == 1 ? 1 : 2;
  if (!counting->SetOutput(rate_, channels_)) return Refuse(soundFile, "it cannot be resampled");
  std::vector<int16_t> buffer(kChunkFrames * 2);
  decodedFrames_ = 0;
  for (size_t got; (got = counting->Read(buffer.data(), kChunkFrames)) > 0;) decodedFrames_ += got;
  if (decodedFrames_ == 0) {
    return Refuse(soundFile,
                  counting->error().empty() ? "nothing of it decodes" : counting->error());
  }
  damaged_ = counting->damagedPackets() > 0 || !counting->error().empty();
  counting.reset();

  // The policy: how long the prepared sound is, and what becomes of the counts.
  const FrameRate soundRate{static_cast<uint32_t>(rate_), 1};
  const double soundSeconds = static_cast<double>(decodedFrames_) / rate_;
  const double pictureSeconds = static_cast<double>(TotalFrames(counts_)) / pictureRate.Value();
  uint64_t limit = decodedFrames_;
  uint64_t fade = 0;
  switch (fit) {
    case SoundFit::kTrim:
      limit = std::min(decodedFrames_, FramesForSeconds(pictureSeconds, soundRate));
      if (limit < decodedFrames_) {
        fade = std::min<uint64_t>(FramesForSeconds(kTrimFadeSeconds, soundRate), limit / 2);
      }
      break;
    case SoundFit::kFit:
      if (!counts_.empty())
        counts_ = ScaleCounts(counts_,
                              std::max<uint64_t>(FramesForSeconds(soundSeconds, pictureRate), 1));
      break;
    case SoundFit::kKeep:
      if (!counts_.empty() && soundSeconds > pictureSeconds) {
        // The last picture stays until the sound has ended (to the next whole frame).
        const uint64_t needed =
            static_cast<uint64_t>(std::ceil(soundSeconds * pictureRate.Value() - 1e-6));
        const uint64_t have = TotalFrames(counts_);
        if (needed > have) {
          const uint64_t last = static_cast<uint64_t>(counts_.back()) + (needed - have);
          counts_.back() = static_cast<int>(std::min<uint64_t>(last, 0x7FFFFFFF));
        }
      }
      break;
  }

  // Second pass: the sound as the consumer takes it, cut where the policy says.
  folder_ = std::make_unique<PrivateTempFolder>("sound");
  if (!folder_->ok()) return Refuse(soundFile, "no temporary folder for it");
  path_ = folder_->File("sound.wav").string();
  std::unique_ptr<av::AudioDecoder> decoder = OpenDecoder(soundFile, rate_, channels_, why);
  if (!decoder) return Refuse(soundFile, why);
  WavWriter writer;
  if (!writer.Open(path_,
                   PcmFormat(static_cast<uint32_t>(rate_), static_cast<uint16_t>(channels_), 16)))
    return Refuse(soundFile, "the temporary sound cannot be written");
  uint64_t written = 0;
  const uint64_t fadeStart = limit - fade;
  while (written < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunkFrames, limit - written));
    const size_t got = decoder->Read(buffer.data(), want);
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i) {
      const uint64_t at = written + i;
      if (at < fadeStart) continue;
      // A linear fade to silence over the last `fade` frames.
      const double gain = static_cast<double>(limit - at) / static_cast<double>(fade + 1);
      for (int c = 0; c < channels_; ++c) {
        int16_t& sample = buffer[i * static_cast<size_t>(channels_) + static_cast<size_t>(c)];
        sample = static_cast<int16_t>(std::lround(sample * gain));
      }
    }
    if (!writer.Write(buffer.data(), got * static_cast<size_t>(channels_) * sizeof(int16_t)))
      return Refuse(soundFile, "the temporary sound cannot be written");
    written += got;
  }
  if (!writer.Close()) return Refuse(soundFile, "the temporary sound cannot be written");
  preparedFrames_ = written;
  if (sourceRate_ != rate_)
    ReportLine("Warning: resampled from %d Hz to %d Hz", sourceRate_, rate_);
  if (damaged_) {
    Prompts().ShowMessage(StringPrintf(
        "Warning: the sound %s is damaged; only the part that decodes is used", soundFile.c_str()));
  }
  return true;
}

FrameRate ProjectFrameRate(const CFramewrightDoc& doc) {
  return FrameRate{static_cast<uint32_t>(std::max<int>(doc.framesPerSecond, 1)), 1};
}

bool PrepareRoad(const CFramewrightDoc& doc, const FrameEntries& entries,
                 const std::string& soundFile, SoundUse use, const BuildEnvironment& env,
                 ProjectSound& sound, RoadTiming& road) {
  road.counts.clear();
  for (int count : entries.counts) road.counts.push_back(std::max(count, 1));
  road.soundPath.clear();
  if (soundFile.empty()) return true;
  if (!sound.Prepare(soundFile, doc.soundFit, ProjectFrameRate(doc), road.counts, use))
    return false;
  road.counts = sound.counts();
  road.soundPath = sound.path();
  if (sound.damaged()) MarkIncomplete(env);
  return true;
}

}  // namespace quendrolix
