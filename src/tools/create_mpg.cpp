#include "tools/create_mpg.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/options/mpg_output_options.h"
#include "mpeg/system/mpg_merge.h"
#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "platform/host/temp_names.h"
#include "tools/fitted_roads.h"
#include "tools/output_timing.h"
#include "tools/project_sound.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

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

namespace {

MpgFrameRate FromLabel(const LabelRate& wanted) {
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

}  // namespace

MpgFrameRate NearestMpgFrameRate(double fps) {
  const LabelRate* best = &kMpgRates[0];
  double bestGap = 1e300;
  for (const LabelRate& r : kMpgRates) {
    const double gap = std::abs(static_cast<double>(r.rate) / r.scale - fps);
    if (gap < bestGap) {
      bestGap = gap;
      best = &r;
    }
  }
  return FromLabel(*best);
}

MpgFrameRate MpgFrameRateForPosition(int position, int projectFps) {
  if (position >= 0 && position < static_cast<int>(std::size(kMpgRates)))
    return FromLabel(kMpgRates[position]);
  return NearestMpgFrameRate(std::max(projectFps, 1));
}

MpgOutputChoice MpgOutputChoice::FromStore(const SettingsStore& store) {
  // The dialog's own reading of section "MPEG", values as stored.
  const MpgOutputOptions options = MpgOutputOptions::FromStore(store);
  MpgOutputChoice choice;
  choice.layer = options.layerChoice + 1;
  choice.bitrateIndex = options.bitRateIndex;
  choice.fpsPosition = options.frameRateIndex;
  return choice;
}

int MpgAudioRateKbps(int layer, int index) {
  if (index < 0 || index > 13) return 128;
  return layer == 1 ? mp2::kLayer1BitRates[index + 1] : mp2::kLayer2BitRates[index + 1];
}

// The image loader of the MPEG engine's image-list road: each image is loaded, stamped
// with the logo and handed over as a 24-bit DIB block, so MPG frames carry the same logo
// as AVI frames.
std::function<HDIB(const std::string& path)> ComposedImageLoader(const FrameComposer& composer) {
  return [composer](const std::string& path) { return composer.LoadFrame(path, 24); };
}

// The same through the build's fitter: each picture fitted into the output frame.
static std::function<HDIB(const std::string& path)> FittedImageLoader(
    std::shared_ptr<PictureFitter> fitter) {
  return [fitter](const std::string& path) { return fitter->Frame(fitter->IndexOf(path), 24); };
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

bool BuildMpg(CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              const std::string& intermediateSuffix) {
  if (env.showConversionLog) env.showConversionLog(true);
  const MpgOutputChoice choice = MpgOutputChoice::FromStore(doc.store());
  const MpgFrameRate rate = MpgFrameRateForPosition(choice.fpsPosition, doc.framesPerSecond);
  // The sound first: one that cannot be used must not cost the whole video's coding.
  ProjectSound sound;
  RoadTiming road;
  if (!PrepareRoad(doc, entries, soundFile, SoundUse::kLayer2, env, sound, road)) {
    if (env.showConversionLog) env.showConversionLog(false);
    return false;
  }
  // The pictures in the output frame; with the fit "none" the encoder centres them as they are.
  const FittedRows rows =
      FitRows(doc, env, WithCounts(entries, road.counts), RoundForMpeg1, kMpeg1SizeRule);
  const std::vector<int> counts =
      RetimeCounts(rows.entries.counts, ProjectFrameRate(doc), FrameRate{rate.rate, rate.scale});

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
  } else if (!rows.ok()) {
    ReportLine("Error: none of the pictures could be loaded");
  } else {
    // The frames of the MPG are composed as the AVI's are: loaded, stamped with the logo.
    MpegEngineServices services = GetMpegEngineServices();
    services.loadImage = rows.fitter->scales() ? FittedImageLoader(rows.fitter)
                                               : ComposedImageLoader(ComposerFor(doc, env));
    ScopedMpegEngineServices scoped(std::move(services));
    // The video's rate and slideshow coding come from the "MPEG" options.
    ok = ConvertImageListToMpg(rows.entries.paths, counts, std::string(), target, choice.layer, 160,
                               MpgAudioRateKbps(choice.layer, choice.bitrateIndex), 0, 0, 0,
                               rate.rate, rate.scale,
                               MpgOutputOptions::FromStore(doc.store()).ProjectVideoCoding());
  }
  ReportLeftOut(env, rows.fitter->leftOut());
  if (ok && !soundFile.empty()) {
    ok = MergeMpgWithSound(target, road.soundPath, output);
    RemoveQuietly(target);
  }
  if (env.conversionLogFile) env.conversionLogFile(output);
  if (env.showConversionLog) env.showConversionLog(false);
  return ok;
}

}  // namespace quendrolix
