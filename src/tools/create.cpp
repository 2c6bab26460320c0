#include "tools/create.h"

#include "tools/create_avi.h"
#include "tools/create_gif.h"
#include "tools/create_mp4.h"
#include "tools/create_mpg.h"

namespace quendrolix {

OutputKind CreateOutputKind(const std::string& name) {
  if (NameHolds(name, ".avi")) return OutputKind::kAvi;
  if (IsMp4Name(name)) return OutputKind::kMp4;
  if (NameHolds(name, ".gif")) return OutputKind::kGif;
  return OutputKind::kMpg;
}

BuildResult CreateFromProject(CFramewrightDoc& doc, const std::string& outputName,
                              const BuildEnvironment& outer) {
  bool incomplete = false;
  BuildEnvironment env = outer;
  env.incomplete = &incomplete;
  BuildResult result;
  result.output = outputName;
  result.kind = CreateOutputKind(outputName);
  const FrameEntries entries = ProjectFrameEntries(doc);
  bool ok = false;
  switch (result.kind) {
    case OutputKind::kAvi:
      ok = BuildAvi(doc, entries, outputName, doc.soundFile(), env);
      break;
    case OutputKind::kGif:
      ok = BuildGif(doc, entries, outputName, env);
      break;
    case OutputKind::kMpg:
      ok = BuildMpg(doc, entries, outputName, doc.soundFile(), env);
      break;
    case OutputKind::kMp4:
      ok = BuildMp4(doc, entries, outputName, doc.soundFile(), env);
      break;
  }
  result.status = !ok          ? BuildStatus::kFailed
                  : incomplete ? BuildStatus::kIncomplete
                               : BuildStatus::kBuilt;
  if (outer.incomplete && incomplete) *outer.incomplete = true;
  if (ok) PlayOutput(env, outputName);
  return result;
}

}  // namespace quendrolix
