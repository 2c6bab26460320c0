#include "tools/unattended_build.h"

#include "tools/create_avi.h"
#include "tools/create_mp4.h"
#include "tools/create_mpg.h"

namespace quendrolix {

OutputKind UnattendedOutputKind(const std::string& name) {
  if (NameHolds(name, ".avi")) return OutputKind::kAvi;
  if (IsMp4Name(name)) return OutputKind::kMp4;
  return NameHolds(name, ".mpg") || NameHolds(name, ".mpeg") ? OutputKind::kMpg : OutputKind::kAvi;
}

BuildResult BuildUnattended(CFramewrightDoc& doc, const BuildEnvironment& outer) {
  bool incomplete = false;
  BuildEnvironment env = outer;
  env.incomplete = &incomplete;
  BuildResult result;
  result.output = doc.outputFile;
  result.kind = UnattendedOutputKind(doc.outputFile);
  const FrameEntries entries = ProjectFrameEntries(doc);
  bool ok = result.kind == OutputKind::kMpg
                ? BuildMpg(doc, entries, doc.outputFile, doc.soundFile(), env)
            : result.kind == OutputKind::kMp4
                ? BuildMp4(doc, entries, doc.outputFile, doc.soundFile(), env)
                : BuildAvi(doc, entries, doc.outputFile, doc.soundFile(), env);
  result.status = !ok          ? BuildStatus::kFailed
                  : incomplete ? BuildStatus::kIncomplete
                               : BuildStatus::kBuilt;
  return result;
}

}  // namespace quendrolix
