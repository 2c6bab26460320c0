#include "tools/create_mp4.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/av/audio_decoder.h"
#include "platform/av/mp4_writer.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "tools/fitted_roads.h"
#include "tools/project_sound.h"

namespace quendrolix {
namespace {

// The sound, decoded as the movie needs it, handed over as the pictures advance so the
// file's streams stay interleaved.
class SoundFeed {
 public:
  bool Open(const std::string& path, std::string& why) {
    decoder_ = av::AudioDecoder::OpenFile(path, &why);
    if (!decoder_) return false;
    const int rate = SoundRateFor(SoundUse::kAac, decoder_->sourceRate());
    const int channels = std::min(decoder_->sourceChannels(), 2);
    if (!decoder_->SetOutput(rate, std::max(channels, 1))) {
      why = decoder_->error();
      return false;
    }
    return true;
  }
  int rate() const { return decoder_->outputRate(); }
  int channels() const { return decoder_->outputChannels(); }

  // Sound up to `seconds` into the movie; all that is left when `seconds` is negative.
  bool FeedUntil(av::Mp4Writer& writer, double seconds) {
    const size_t chunk = 4096;
    buffer_.resize(chunk * static_cast<size_t>(channels()));
    while (!ended_ && (seconds < 0 || static_cast<double>(given_) < seconds * rate())) {
      const size_t got = decoder_->Read(buffer_.data(), chunk);
      if (got == 0) {
        ended_ = true;
        break;
      }
      if (!writer.AddSound(buffer_.data(), got)) return false;
      given_ += got;
    }
    return true;
  }

 private:
  std::unique_ptr<av::AudioDecoder> decoder_;
  std::vector<int16_t> buffer_;
  uint64_t given_ = 0;
  bool ended_ = false;
};

}  // namespace

bool IsMp4Name(const std::string& name) {
  if (name.size() < 4) return false;
  return NameHolds(name.substr(name.size() - 4), ".mp4");
}

bool BuildMp4(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env, bool addingMessages) {
  UserPrompts& prompts = Prompts();
  if (env.frame) env.frame->lastOutputFile = output;
  auto fail = [&](const std::string& message) {
    if (!message.empty()) prompts.ShowMessage(message);
    prompts.ShowStatus("MP4 not saved");
    if (env.frame) env.frame->lastOutputFile.clear();
    return false;
  };
  if (entries.paths.empty()) return fail("No images to create the animation from");

  // The sound first: a sound that cannot be used must not cost the whole movie's coding.
  ProjectSound prepared;
  RoadTiming road;
  if (!PrepareRoad(doc, entries, soundFile, SoundUse::kAac, env, prepared, road))
    return fail(std::string());
  SoundFeed sound;
  const bool withSound = !soundFile.empty();
  std::string why;
  if (withSound && !sound.Open(road.soundPath, why))
    return fail(StringPrintf("Could not read the sound %s (%s)", soundFile.c_str(), why.c_str()));

  const FrameComposer composer = ComposerFor(doc, env);
  std::string failure;
  // Every picture in the output frame (with the fit "none" as it is: one of another size
  // ends the movie).
  const FittedRows rows =
      FitRows(doc, env, WithCounts(entries, road.counts), RoundToEven, kEvenSizeRule);
  const bool fitted = rows.fitter->scales();
  ReportLeftOut(env, rows.fitter->leftOut());  // the rows before the first picture that loads
  HDIB picture = !rows.ok() ? nullptr
                 : fitted   ? rows.fitter->Frame(rows.first, 24)
                            : composer.LoadFrame(entries.paths[0], 24, &failure);
  if (!picture) return fail("Could not load " + entries.paths[0]);
  const int width = picture->header().biWidth;
  const int height = std::abs(picture->header().biHeight);

  av::Mp4Settings settings;
  settings.width = width;
  settings.height = height;
  settings.rateNumerator = std::max<int>(doc.framesPerSecond, 1);
  settings.rateDenominator = 1;
  settings.sound = withSound;
  if (withSound) {
    settings.sampleRate = sound.rate();
    settings.channels = sound.channels();
  }
  prompts.ShowStatus(StringPrintf("Creating MP4 %s...", output.c_str()));
  std::unique_ptr<av::Mp4Writer> writer = av::Mp4Writer::Create(output, settings, &why);
  if (!writer) return fail(StringPrintf("Could not write %s (%s)", output.c_str(), why.c_str()));

  const size_t leftBefore = rows.fitter->leftOut().size();
  const FrameEntries& rowsPlaced = rows.entries;
  const size_t n = rowsPlaced.paths.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& name =
        i < rowsPlaced.names.size() ? rowsPlaced.names[i] : rowsPlaced.paths[i];
    if (addingMessages) prompts.ShowStatus(StringPrintf("Adding %s...", name.c_str()));
    if (i > 0 && fitted) {
      picture = rows.fitter->Frame(rows.first + static_cast<int>(i), 24);
      if (!picture) return fail("Out of memory while fitting " + rowsPlaced.paths[i]);
    } else if (i > 0) {
      picture = composer.LoadFrame(entries.paths[i], 24, &failure);
      if (!picture) {
        prompts.ShowMessage("Could not load " + entries.paths[i]);
        for (size_t k = i; k < n; ++k)
          rows.fitter->LeaveOut(entries.paths[k], k == i ? failure : "not reached");
        break;
      }
      const int w = picture->header().biWidth, h = std::abs(picture->header().biHeight);
      if (w != width || h != height) {
        prompts.ShowMessage(
            StringPrintf("The size of %s (%dx%d) does not match the size of animation (%dx%d)",
                         entries.paths[i].c_str(), w, h, width, height));
        for (size_t k = i; k < n; ++k)
          rows.fitter->LeaveOut(entries.paths[k],
                                k == i ? "its size is not the animation's" : "not reached");
        break;
      }
    }
    if (!writer->AddPicture(*picture, std::max(rowsPlaced.counts[i], 1)))
      return fail(StringPrintf("Could not write %s (%s)", output.c_str(), writer->error().c_str()));
    ReportPercent(static_cast<int>((i + 1) * 100 / n));
    const double seconds =
        static_cast<double>(writer->videoFrames()) / static_cast<double>(settings.rateNumerator);
    if (withSound && !sound.FeedUntil(*writer, seconds))
      return fail(StringPrintf("Could not write %s (%s)", output.c_str(), writer->error().c_str()));
  }
  if (withSound && !sound.FeedUntil(*writer, -1))
    return fail(StringPrintf("Could not write %s (%s)", output.c_str(), writer->error().c_str()));
  if (!writer->Finish())
    return fail(StringPrintf("Could not write %s (%s)", output.c_str(), writer->error().c_str()));
  ReportLeftOut(env, {rows.fitter->leftOut().begin() + leftBefore, rows.fitter->leftOut().end()});
  prompts.ShowStatus("MP4 completed");
  return true;
}

}  // namespace quendrolix
