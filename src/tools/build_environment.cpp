#include "tools/build_environment.h"

#include <cctype>

#include "platform/host/user_prompts.h"
#include "project/text_numbers.h"

namespace quendrolix {

FrameEntries ProjectFrameEntries(const CFramewrightDoc& doc) {
  FrameEntries entries;
  const FrameList& list = doc.list();
  for (int r = 1; r <= list.EntryCount(); ++r) {
    const std::string& name = list.Cell(r, FrameList::kNameColumn);
    entries.names.push_back(name);
    entries.paths.push_back(doc.LookUpPath(name));
    entries.counts.push_back(ConsumedFrameCount(list.Cell(r, FrameList::kFramesColumn)));
  }
  return entries;
}

FrameComposer ComposerFor(const CFramewrightDoc& doc, const BuildEnvironment& env) {
  return FrameComposer::ForDocument(doc, env.logo ? *env.logo : TheLogoPictures());
}

OutputFormat OutputFormatFor(const CFramewrightDoc& doc, const BuildEnvironment& env) {
  return env.format ? *env.format : doc.output;
}

PictureFitter FitterFor(const CFramewrightDoc& doc, const BuildEnvironment& env) {
  return PictureFitter(OutputFormatFor(doc, env), ComposerFor(doc, env));
}

void ReportLeftOut(const BuildEnvironment& env, const std::vector<LeftOutPicture>& leftOut) {
  if (env.leftOut) env.leftOut->insert(env.leftOut->end(), leftOut.begin(), leftOut.end());
}

FrameEntries WithCounts(const FrameEntries& entries, const std::vector<int>& counts) {
  FrameEntries timed = entries;
  timed.counts = counts;
  return timed;
}

void RunRoad(BuildResult& result, const BuildEnvironment& env,
             const std::function<bool(const BuildEnvironment&)>& road) {
  bool incomplete = false;
  BuildEnvironment collecting = env;
  collecting.leftOut = &result.leftOut;
  collecting.incomplete = &incomplete;
  const bool ok = road(collecting);
  result.status = !ok          ? BuildStatus::kFailed
                  : incomplete ? BuildStatus::kIncomplete
                               : BuildStatus::kBuilt;
  if (ok && !result.leftOut.empty()) Prompts().ShowMessage(LeftOutMessage(result.leftOut));
  if (env.leftOut) ReportLeftOut(env, result.leftOut);
  if (env.incomplete && incomplete) *env.incomplete = true;
}

void PlayOutput(const BuildEnvironment& env, const std::string& path) {
  if (env.playback) env.playback->Play(path);
}

bool NameHolds(const std::string& name, const char* part) {
  std::string lowered = name;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered.find(part) != std::string::npos;
}

}  // namespace quendrolix
