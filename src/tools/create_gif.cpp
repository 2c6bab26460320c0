#include "tools/create_gif.h"

#include <algorithm>

#include "image/gif/gif_writer.h"
#include "platform/host/user_prompts.h"
#include "tools/output_timing.h"
#include "tools/project_sound.h"

namespace quendrolix {

bool BuildGif(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const BuildEnvironment& env) {
  const FrameComposer composer = ComposerFor(doc, env);
  // Each picture stays counts[i] / rate seconds, held for the nearest whole hundredths of a
  // second with the rounding carried.
  const std::vector<int> centiseconds =
      RetimeCounts(entries.counts, ProjectFrameRate(doc), FrameRate{100, 1});
  GifFrameProvider provider = [&](size_t index, GifSourceFrame& frame, std::string& message) {
    frame.name = entries.paths[index];
    frame.frameCount = static_cast<unsigned>(std::max(entries.counts[index], 1));
    frame.centiseconds = static_cast<uint32_t>(centiseconds[index]);
    frame.dib = composer.LoadFrame(frame.name, 24, &message);
    if (frame.dib) return GifFrameStatus::kFrame;
    if (message.empty()) message = "Could not load " + frame.name;
    return index == 0 ? GifFrameStatus::kFailed : GifFrameStatus::kEnd;
  };
  if (env.frame) env.frame->lastOutputFile = output;
  const GifWriteResult written =
      WriteAnimatedGif(output, entries.paths.size(), provider, TheGifOutputSettings());
  if (!written.message.empty()) Prompts().ShowMessage(written.message);
  if (!written.ok && env.frame) env.frame->lastOutputFile.clear();
  return written.ok;
}

}  // namespace quendrolix
