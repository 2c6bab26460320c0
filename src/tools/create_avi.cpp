#include "tools/create_avi.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "avi/avi_builder.h"
#include "avi/avi_error_text.h"
#include "avi/merge_streams.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"
#include "tools/project_sound.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

}  // namespace

bool BuildAvi(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env, bool addingMessages) {
  UserPrompts& prompts = Prompts();
  // The sound first: one that cannot be used must not cost the whole movie's coding.
  ProjectSound sound;
  RoadTiming road;
  if (!PrepareRoad(doc, entries, soundFile, SoundUse::kAviPcm, env, sound, road)) {
    prompts.ShowStatus("AVI stream not saved");
    return false;
  }
  AviBuilder builder(ComposerFor(doc, env), env.codecOptions);
  builder.SetRate(doc.framesPerSecond);
  builder.SetDepth(doc.bitsPerPixel);
  builder.SetFit(OutputFormatFor(doc, env));
  if (env.frame) env.frame->lastOutputFile = output;
  for (size_t i = 0; i < entries.paths.size(); ++i) {
    if (addingMessages)
      prompts.ShowStatus(StringPrintf("Adding %s...", i < entries.names.size()
                                                          ? entries.names[i].c_str()
                                                          : entries.paths[i].c_str()));
    builder.Add(entries.paths[i], static_cast<unsigned>(std::max(road.counts[i], 1)));
  }
  prompts.ShowStatus(StringPrintf("Creating AVI %s...", output.c_str()));

  // With a sound the video goes to a temporary AVI first; its name is unique, so builds
  // running side by side never write into each other's.
  fs::path temporary;
  if (!soundFile.empty()) temporary = UniqueFileIn(ProgramFolder::Get(), "zqtemp", ".avi");
  bool ok;
  int32_t code;
  std::string refusal;
  if (!soundFile.empty() && temporary.empty()) {
    ok = false;
    code = AVIERR_FILEOPEN;
  } else {
    ok = builder.Write(soundFile.empty() ? output : temporary.string());
    code = builder.errorCode();
    refusal = builder.refusal();
    ReportLeftOut(env, builder.leftOut());
  }
  if (!ok) {
    if (!temporary.empty()) RemoveQuietly(temporary);
    prompts.ShowMessage(refusal.empty() ? CodecErrorMessage(code) : refusal);
    prompts.ShowStatus("AVI stream not saved");
    if (env.frame) env.frame->lastOutputFile.clear();
    return false;
  }
  prompts.ShowStatus("AVI stream completed");
  if (soundFile.empty()) return true;

  prompts.ShowStatus("Merging...");
  ok = MergeStreams(temporary.string(), road.soundPath, output);
  RemoveQuietly(temporary);
  if (!ok) {
    // MergeStreams has said what it had to say; a movie that was not written is no success.
    prompts.ShowStatus("AVI stream not saved");
    if (env.frame) env.frame->lastOutputFile.clear();
  }
  return ok;
}

}  // namespace quendrolix
