#include "avi/create_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "avi/avi_builder.h"
#include "avi/avi_error_text.h"
#include "avi/codec_options.h"
#include "image/gif/gif_writer.h"
#include "mpeg/audio/audio_tables.h"
#include "mpeg/system/mpg_merge.h"
#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Holds(const std::string& lowered, const char* part) {
  return lowered.find(part) != std::string::npos;
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

void Play(const BuildEnvironment& env, const std::string& path) {
  if (env.playback) env.playback->Play(path);
}

FrameComposer ComposerFor(const CFramewrightDoc& doc, const BuildEnvironment& env) {
  return FrameComposer::ForDocument(doc, env.logo ? *env.logo : TheLogoPictures());
}

// The engine is told the rate by the label's value in the form a source rate takes.
struct LabelRate {
  const char* label;
  uint32_t rate, scale;
};
constexpr LabelRate kMpgRates[] = {
    {"10", 10, 1}, {"12", 12, 1}, {"15", 15, 1},          {"23.976", 24000, 1001},
    {"24", 24, 1}, {"25", 25, 1}, {"29.97", 30000, 1001}, {"30", 30, 1},
};

}  // namespace

OutputKind CreateOutputKind(const std::string& name) {
  std::string lowered = Lower(name);
  if (Holds(lowered, ".avi")) return OutputKind::kAvi;
  if (Holds(lowered, ".gif")) return OutputKind::kGif;
  return OutputKind::kMpg;
}

OutputKind QuickCreateOutputKind(const std::string& name) {
  std::string lowered = Lower(name);
  return Holds(lowered, ".mpg") || Holds(lowered, ".mpeg") ? OutputKind::kMpg : OutputKind::kAvi;
}

OutputKind UnattendedOutputKind(const std::string& name) {
  std::string lowered = Lower(name);
  if (Holds(lowered, ".avi")) return OutputKind::kAvi;
  return Holds(lowered, ".mpg") || Holds(lowered, ".mpeg") ? OutputKind::kMpg : OutputKind::kAvi;
}

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

bool BuildAvi(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env, bool addingMessages) {
  UserPrompts& prompts = Prompts();
  AviBuilder builder(ComposerFor(doc, env), env.codecOptions);
  builder.SetRate(doc.framesPerSecond);
  builder.SetDepth(doc.bitsPerPixel);
  if (env.frame) env.frame->lastOutputFile = output;
  for (size_t i = 0; i < entries.paths.size(); ++i) {
    if (addingMessages)
      prompts.ShowStatus(StringPrintf("Adding %s...", i < entries.names.size()
                                                          ? entries.names[i].c_str()
                                                          : entries.paths[i].c_str()));
    builder.Add(entries.paths[i], static_cast<unsigned>(std::max(entries.counts[i], 1)));
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
  ok = MergeStreams(temporary.string(), soundFile, output);
  RemoveQuietly(temporary);
  if (!ok) {
    // MergeStreams has said what it had to say; a movie that was not written is no success.
    prompts.ShowStatus("AVI stream not saved");
    if (env.frame) env.frame->lastOutputFile.clear();
  }
  return ok;
}

MpgFrameRate MpgFrameRateForPosition(int position) {
  if (position < 0 || position >= static_cast<int>(std::size(kMpgRates)))
    position = kDefaultMpgFpsPosition;
  const LabelRate& wanted = kMpgRates[position];
  MpgFrameRate choice;
  choice.label = wanted.label;
  int code = 1, replication = 1;
  if (!FrameRateFromSource(wanted.rate, wanted.scale, code, replication)) {
    code = 1;  // every label is in the engine's table; this only guards a changed table
    replication = 1;
  }
  choice.rate = wanted.rate;
  choice.scale = wanted.scale;
  choice.code = code;
  choice.replication = replication;
  return choice;
}

MpgOutputChoice MpgOutputChoice::FromStore(const SettingsStore& store) {
  MpgOutputChoice choice;
  int16_t value = 1;
  store.GetInteger("MPEG", "Layer", value);
  choice.layer = value + 1;
  value = 7;
  store.GetInteger("MPEG", "Bitrate", value);
  choice.bitrateIndex = value;
  value = kDefaultMpgFpsPosition;
  store.GetInteger("MPEG", "FPS", value);
  choice.fpsPosition = value;
  return choice;
}

int MpgAudioRateKbps(int layer, int index) {
  if (index < 0 || index > 13) return 128;
  return layer == 1 ? mp2::kLayer1BitRates[index + 1] : mp2::kLayer2BitRates[index + 1];
}

bool BuildMpg(CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              const std::string& intermediateSuffix) {
  if (env.showConversionLog) env.showConversionLog(true);
  const MpgOutputChoice choice = MpgOutputChoice::FromStore(doc.store());
  const MpgFrameRate rate = MpgFrameRateForPosition(choice.fpsPosition);
  std::vector<int> counts;
  for (int count : entries.counts) counts.push_back(std::max(count, 1));

  // With a sound the video is an intermediate that only this build knows of.
  PrivateTempFolder temp("create");
  std::string target = output;
  if (!soundFile.empty()) {
    std::string name = fs::path(output).filename().string();
    if (name.empty()) name = "video.mpg";
    target = temp.ok() ? temp.File(name + intermediateSuffix).string() : std::string();
  }

  bool ok = false;
  if (target.empty()) {
    ReportLine("Error: no temporary folder for %s", output.c_str());
  } else {
    // The frames of the MPG are composed as the AVI's are: loaded, stamped with the logo.
    MpegEngineServices services = GetMpegEngineServices();
    services.loadImage = ComposedImageLoader(ComposerFor(doc, env));
    ScopedMpegEngineServices scoped(std::move(services));
    ok = ConvertImageListToMpg(entries.paths, counts, std::string(), target, choice.layer, 160,
                               MpgAudioRateKbps(choice.layer, choice.bitrateIndex), 0, 0, 0,
                               rate.rate, rate.scale);
  }
  if (ok && !soundFile.empty()) {
    ok = MergeMpgWithSound(target, soundFile, output);
    RemoveQuietly(target);
  }
  if (env.conversionLogFile) env.conversionLogFile(output);
  if (env.showConversionLog) env.showConversionLog(false);
  return ok;
}

bool BuildGif(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const BuildEnvironment& env) {
  const FrameComposer composer = ComposerFor(doc, env);
  GifFrameProvider provider = [&](size_t index, GifSourceFrame& frame, std::string& message) {
    frame.name = entries.paths[index];
    frame.frameCount = static_cast<unsigned>(std::max(entries.counts[index], 1));
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

BuildResult CreateFromProject(CFramewrightDoc& doc, const std::string& outputName,
                              const BuildEnvironment& env) {
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
  }
  result.status = ok ? BuildStatus::kBuilt : BuildStatus::kFailed;
  if (ok) Play(env, outputName);
  return result;
}

std::vector<std::string> QuickCreateListing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kindError;
    if (it->is_directory(kindError)) continue;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());  // bytes, as the listing has always been sorted
  return names;
}

BuildResult QuickCreate(CFramewrightDoc& doc, const QuickCreateRequest& request,
                        const BuildEnvironment& env) {
  BuildResult result;
  result.output = request.output;
  result.kind = QuickCreateOutputKind(request.output);
  const std::vector<std::string> names = QuickCreateListing(request.folder);
  if (names.empty()) {
    Prompts().ShowMessage("No images found");
    result.status = BuildStatus::kNoImages;
    return result;
  }
  FrameEntries entries;
  const int count = doc.DefaultFrameCount();
  for (const std::string& name : names) {
    entries.names.push_back(name);
    entries.paths.push_back((fs::path(request.folder) / name).string());
    entries.counts.push_back(count);
  }
  bool ok;
  if (result.kind == OutputKind::kAvi) {
    ok = BuildAvi(doc, entries, request.output, request.soundFile, env, false);
  } else if (!request.soundFile.empty()) {
    // Only the folder's own sound: merging the project's sound first would leave a system
    // stream that cannot take a second sound.
    ok = BuildMpg(doc, entries, request.output, request.soundFile, env, "g");
  } else {
    ok = BuildMpg(doc, entries, request.output, doc.soundFile(), env);
  }
  result.status = ok ? BuildStatus::kBuilt : BuildStatus::kFailed;
  if (ok) Play(env, request.output);
  return result;
}

BuildResult BuildUnattended(CFramewrightDoc& doc, const BuildEnvironment& env) {
  BuildResult result;
  result.output = doc.outputFile;
  result.kind = UnattendedOutputKind(doc.outputFile);
  const FrameEntries entries = ProjectFrameEntries(doc);
  bool ok = result.kind == OutputKind::kMpg
                ? BuildMpg(doc, entries, doc.outputFile, doc.soundFile(), env)
                : BuildAvi(doc, entries, doc.outputFile, doc.soundFile(), env);
  result.status = ok ? BuildStatus::kBuilt : BuildStatus::kFailed;
  return result;
}

}  // namespace quendrolix
