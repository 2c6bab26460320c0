#include "tools/create_gif.h"

#include <algorithm>

#include "image/gif/gif_writer.h"
#include "platform/host/user_prompts.h"
#include "tools/fitted_roads.h"
#include "tools/output_timing.h"
#include "tools/project_sound.h"

namespace quendrolix {

bool BuildGif(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const BuildEnvironment& env) {
  const FrameComposer composer = ComposerFor(doc, env);
  // Every picture in the output frame (with the fit "none" as it is: one of another size
  // ends the animation).
  const FittedRows rows = FitRows(doc, env, entries, {}, "");
  if (!rows.ok()) {
    Prompts().ShowMessage("None of the pictures could be loaded");
    ReportLeftOut(env, rows.fitter->leftOut());
    return false;
  }
  // Each picture stays counts[i] / rate seconds, held for the nearest whole hundredths of a
  // second with the rounding carried.
  const std::vector<int> centiseconds =
      RetimeCounts(rows.entries.counts, ProjectFrameRate(doc), FrameRate{100, 1});
  GifFrameProvider provider = [&](size_t index, GifSourceFrame& frame, std::string& message) {
    frame.name = rows.entries.paths[index];
    frame.frameCount = static_cast<unsigned>(std::max(rows.entries.counts[index], 1));
    frame.centiseconds = static_cast<uint32_t>(centiseconds[index]);
    frame.dib = rows.fitter->scales() ? rows.fitter->Frame(rows.first + static_cast<int>(index), 24)
                                      : composer.LoadFrame(frame.name, 24, &message);
    if (frame.dib) return GifFrameStatus::kFrame;
    if (message.empty()) message = "Could not load " + frame.name;
    return index == 0 ? GifFrameStatus::kFailed : GifFrameStatus::kEnd;
  };
  if (env.frame) env.frame->lastOutputFile = output;
  const GifWriteResult written = WriteAnimatedGif(
      output, rows.entries.paths.size(), provider, TheGifOutputSettings(),
      [&](std::vector<uint8_t>& rgb) { return SampleColours(rows, composer, rgb); });
  ReportLeftOut(env, rows.fitter->leftOut());
  if (written.ok) {
    // An animation that ended early (the fit "none" and a picture of another size) was
    // made without the pictures from there on.
    std::vector<LeftOutPicture> notReached;
    for (size_t i = written.picturesRead; i < rows.entries.paths.size(); ++i)
      notReached.push_back({rows.entries.paths[i], written.message.empty()
                                                       ? std::string("not reached")
                                                       : written.message});
    ReportLeftOut(env, notReached);
  }
  if (!written.message.empty()) Prompts().ShowMessage(written.message);
  if (!written.ok && env.frame) env.frame->lastOutputFile.clear();
  return written.ok;
}

}  // namespace quendrolix
