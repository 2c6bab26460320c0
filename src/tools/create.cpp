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
                              const BuildEnvironment& env) {
  BuildResult result;
  result.output = outputName;
  result.kind = CreateOutputKind(outputName);
  const FrameEntries entries = ProjectFrameEntries(doc);
  RunRoad(result, env, [&](const BuildEnvironment& roadEnv) {
    switch (result.kind) {
      case OutputKind::kAvi:
        return BuildAvi(doc, entries, outputName, doc.soundFile(), roadEnv);
      case OutputKind::kGif:
        return BuildGif(doc, entries, outputName, roadEnv);
      case OutputKind::kMpg:
        return BuildMpg(doc, entries, outputName, doc.soundFile(), roadEnv);
      case OutputKind::kMp4:
        return BuildMp4(doc, entries, outputName, doc.soundFile(), roadEnv);
    }
    return false;
  });
  if (result.ok()) PlayOutput(env, outputName);
  return result;
}

}  // namespace quendrolix
