#include "mpeg/system/mpg_merge.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "mpeg/system/multiplexer.h"
#include "mpeg/system/stream_analysis.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace fs = std::filesystem;

const char* const kMultiplexerExceptionMessage =
    "Aaaaargh!!! This is not supposed to happen, but rather than doing its job the multiplexer "
    "has thrown an exception. Please check the troubleshooting section for possible remedies.";

namespace {

SoundToMp2Converter& Converter() {
  static SoundToMp2Converter converter = ConvertSoundToMp2Logged;
  return converter;
}

bool IsReadableFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

void RequireFile(const std::string& path) {
  if (IsReadableFile(path)) return;
  std::string line = StringPrintf("Error: %s not found", path.c_str());
  ReportLine("%s", line.c_str());
  throw CFileException(line);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool FolderIsWritable(const fs::path& file) {
  fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

void SetSoundToMp2Converter(SoundToMp2Converter converter) {
  Converter() = converter ? std::move(converter) : SoundToMp2Converter(ConvertSoundToMp2Logged);
}

void MultiplexFiles(const std::string& videoPath, const std::string& audioPath,
                    const std::string& outputPath) {
  TheSystemStreamEngine().ResetCounters();
  RequireFile(videoPath);
  RequireFile(audioPath);
  // The lists live in a folder of their own that goes away with this run, whatever
  // happens on the way.
  PrivateTempFolder folder("mux");
  fs::path videoList = folder.ok() ? UniqueFileIn(folder.path(), "tmp_v", "") : fs::path();
  fs::path audioList = folder.ok() ? UniqueFileIn(folder.path(), "tmp_a", "") : fs::path();
  if (videoList.empty() || audioList.empty()) {
    ReportLine("Error: couldn't create the temporary access-unit lists");
    throw CFileException("no temporary folder");
  }
  VideoStreamInfo videoInfo;
  AudioStreamInfo audioInfo;
  double startupTime = kNoStartupTime;
  // Each scan stops the run when its stream has nothing usable: no complete picture, or
  // no complete audio frame.
  AnalyseVideoStream(videoPath, videoList.string(), videoInfo, startupTime);
  AnalyseAudioStream(audioPath, audioList.string(), startupTime, audioInfo);
  MultiplexStreams(videoPath, videoList.string(), videoInfo, audioPath, audioList.string(),
                   audioInfo, outputPath, kVideoAndAudio);
}

bool MergeMpgWithSound(const std::string& mpgPath, const std::string& soundPath,
                       const std::string& outputPath) {
  if (Lower(soundPath).find(".mp2") == std::string::npos) {
    if (!IsReadableFile(soundPath)) {
      ReportLine("Error: %s not found", soundPath.c_str());
      return false;
    }
    fs::path mp2 = fs::path(soundPath).replace_extension("mp2");
    // Never overwrite (and then delete) an MP2 the user already has beside the sound.
    std::optional<PrivateTempFolder> privateFolder;
    std::error_code ec;
    if (fs::exists(mp2, ec) || !FolderIsWritable(mp2)) {
      privateFolder.emplace("sound");
      mp2 = privateFolder->File(mp2.filename().string());
    }
    bool ok = false;
    try {
      ok = Converter()(soundPath, mp2.string()) &&
           MergeMpgWithSound(mpgPath, mp2.string(), outputPath);
    } catch (const CFileException&) {
      ReportLine("Error: %s could not be converted to MP2", soundPath.c_str());
      ok = false;
    }
    fs::remove(mp2, ec);
    return ok;
  }
  try {
    MultiplexFiles(mpgPath, soundPath, outputPath);
    return true;
  } catch (const CFileException&) {
    Prompts().ShowMessage(kMultiplexerExceptionMessage);
    return false;
  }
}

bool MergeMpgCommand(const std::string& mpgPath, const std::string& soundPath,
                     const std::string& outputPath, std::string* finalOutput, bool* incomplete) {
  ReportLine("Multiplexing...");
  Mp2Engine().damagedSource = false;
  std::string output = outputPath;
  if (fs::path(output).filename().string().find('.') == std::string::npos) output += ".mpg";
  bool ok = MergeMpgWithSound(mpgPath, soundPath, output);
  ReportMultiplexCounters(TheSystemStreamEngine().counters);
  ReportLine("Mp2 engine closed");
  if (finalOutput) *finalOutput = output;
  if (incomplete) *incomplete = ok && Mp2Engine().damagedSource;
  return ok;
}

}  // namespace quendrolix
