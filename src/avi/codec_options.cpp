#include "avi/codec_options.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"

namespace quendrolix {
namespace {

AVICOMPRESSOPTIONS& Record() {
  static AVICOMPRESSOPTIONS options = CodecOptionsStartValues();
  return options;
}

bool ReadU32(std::FILE* f, uint32_t& value) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  value = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  return true;
}

bool WriteU32(std::FILE* f, uint32_t value) {
  const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return std::fwrite(b, 1, 4, f) == 4;
}

void CouldNotLoad(const std::string& path) {
  Prompts().ShowMessage(StringPrintf("Could not load AVI options file: %s", path.c_str()), {},
                        PromptIcon::kWarning);
}

}  // namespace

AVICOMPRESSOPTIONS CodecOptionsStartValues() {
  AVICOMPRESSOPTIONS o;
  o.fccType = streamtypeVIDEO;
  o.fccHandler = kHandlerVideo1;
  o.dwKeyFrameEvery = 20;
  o.dwQuality = 10000;
  o.dwBytesPerSecond = 0;
  o.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES;
  o.dwInterleaveEvery = 0;
  return o;
}

AVICOMPRESSOPTIONS& CodecOptions() {
  return Record();
}

void ResetCodecOptions() {
  Record() = CodecOptionsStartValues();
}

bool LoadCodecOptions(const std::string& path, AVICOMPRESSOPTIONS& options) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    CouldNotLoad(path);
    return false;
  }
  // Field by field in the file's order, so that a short file leaves what it held.
  uint32_t* fields[] = {
      &options.fccType,          &options.fccHandler, &options.dwKeyFrameEvery,  &options.dwQuality,
      &options.dwBytesPerSecond, &options.dwFlags,    &options.dwInterleaveEvery};
  bool ok = true;
  for (uint32_t* field : fields) {
    uint32_t v;
    if (!(ok = ReadU32(f, v))) break;
    *field = v;
  }
  uint32_t stateSize = 0;
  ok = ok && ReadU32(f, stateSize);
  if (ok) {
    if (stateSize == 0) {
      options.parms.clear();
    } else {
      // Never allocate more than the file can still hold.
      const long here = std::ftell(f);
      std::fseek(f, 0, SEEK_END);
      const long end = std::ftell(f);
      std::fseek(f, here, SEEK_SET);
      if (here < 0 || end < here || uint64_t(end - here) < stateSize) {
        ok = false;
      } else {
        std::vector<uint8_t> state(stateSize);
        ok = std::fread(state.data(), 1, stateSize, f) == stateSize;
        if (ok) options.parms = std::move(state);
      }
    }
  }
  std::fclose(f);
  if (!ok) CouldNotLoad(path);
  return ok;
}

bool LoadCodecOptions(const std::string& path) {
  return LoadCodecOptions(path, Record());
}

bool SaveCodecOptions(const std::string& path, const AVICOMPRESSOPTIONS& options) {
  AtomicFile out(path);
  std::FILE* f = out.Stream();
  bool ok = f != nullptr;
  if (ok) {
    const uint32_t fields[] = {
        options.fccType,           options.fccHandler,
        options.dwKeyFrameEvery,   options.dwQuality,
        options.dwBytesPerSecond,  options.dwFlags,
        options.dwInterleaveEvery, static_cast<uint32_t>(options.parms.size())};
    for (uint32_t v : fields) ok = ok && WriteU32(f, v);
    if (ok && !options.parms.empty())
      ok = std::fwrite(options.parms.data(), 1, options.parms.size(), f) == options.parms.size();
  }
  ok = ok && out.Commit();
  if (!ok) {
    Prompts().ShowMessage(StringPrintf("Could not save AVI options file: %s", path.c_str()), {},
                          PromptIcon::kWarning);
  }
  return ok;
}

bool SaveCodecOptions(const std::string& path) {
  return SaveCodecOptions(path, Record());
}

std::string DefaultCodecOptionsPath() {
  return ProgramFolder::Join("AVI.codec");
}

bool SaveCodecOptionsAsDefault() {
  if (!SaveCodecOptions(DefaultCodecOptionsPath())) return false;
  Prompts().ShowMessage(
      "Options saved to AVI.codec file. If you uninstall the codec, please delete AVI.codec "
      "before running Quendrolix.",
      {}, PromptIcon::kInformation);
  return true;
}

// ---- Dialog rules ----------------------------------------------------------------------

std::vector<CompressorChoice> CompressorChoices(int depth) {
  std::vector<CompressorChoice> list;
  for (const CodecDescription& codec : CodecRegistry()) {
    if (depth != 0 &&
        std::find(codec.depths.begin(), codec.depths.end(), depth) == codec.depths.end())
      continue;
    list.push_back({codec.handler, codec.name, codec.depths, codec.quality, codec.temporal,
                    codec.dataRate, codec.hasSettings});
  }
  return list;
}

CompressionDialogState CompressionDialogState::FromOptions(const AVICOMPRESSOPTIONS& options,
                                                           int depth) {
  CompressionDialogState s;
  s.compressors = CompressorChoices(depth);
  s.selected = 0;
  if (const CodecDescription* codec = FindCodec(options.fccHandler)) {
    for (size_t i = 0; i < s.compressors.size(); ++i)
      if (s.compressors[i].handler == codec->handler) s.selected = static_cast<int>(i);
  }
  s.qualityPercent = options.dwQuality == 0xFFFFFFFF
                         ? 75
                         : static_cast<int>(std::min<DWORD>(options.dwQuality, 10000) / 100);
  s.keyFramesOn = (options.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0;
  s.keyFrameEvery = static_cast<int>(std::clamp<DWORD>(options.dwKeyFrameEvery, 1, 9999));
  s.dataRateOn = (options.dwFlags & AVICOMPRESSF_DATARATE) != 0;
  if (options.dwBytesPerSecond)
    s.dataRateKBps = static_cast<int>(std::clamp<DWORD>(options.dwBytesPerSecond / 1024, 1, 99999));
  return s;
}

const CompressorChoice* CompressionDialogState::current() const {
  if (selected < 0 || selected >= static_cast<int>(compressors.size())) return nullptr;
  return &compressors[selected];
}

void CompressionDialogState::Select(int index) {
  if (index >= 0 && index < static_cast<int>(compressors.size())) selected = index;
}

void CompressionDialogState::SetQualityPercent(int percent) {
  qualityPercent = std::clamp(percent, 0, 100);
}

void CompressionDialogState::SetKeyFrameEvery(int frames) {
  keyFrameEvery = std::clamp(frames, 1, 9999);
}

void CompressionDialogState::SetDataRateKBps(int kbps) {
  dataRateKBps = std::clamp(kbps, 1, 99999);
}

bool CompressionDialogState::QualityEnabled() const {
  return current() && current()->quality;
}
bool CompressionDialogState::KeyFramesEnabled() const {
  return current() && current()->keyFrames;
}
bool CompressionDialogState::DataRateEnabled() const {
  return current() && current()->dataRate;
}
bool CompressionDialogState::ConfigureEnabled() const {
  return current() && current()->hasSettings;
}

void CompressionDialogState::ApplyTo(AVICOMPRESSOPTIONS& options) const {
  const CompressorChoice* choice = current();
  if (!choice) return;
  if (FindCodec(options.fccHandler) == nullptr ||
      FindCodec(options.fccHandler)->handler != choice->handler)
    options.parms.clear();  // the state belongs to the compressor it came from
  options.fccType = streamtypeVIDEO;
  options.fccHandler = choice->handler;
  if (choice->quality) options.dwQuality = static_cast<DWORD>(qualityPercent) * 100;
  DWORD flags = options.dwFlags | AVICOMPRESSF_VALID;
  if (choice->keyFrames) {
    options.dwKeyFrameEvery = static_cast<DWORD>(keyFrameEvery);
    flags = keyFramesOn ? flags | AVICOMPRESSF_KEYFRAMES : flags & ~AVICOMPRESSF_KEYFRAMES;
  }
  if (choice->dataRate) {
    options.dwBytesPerSecond = dataRateOn ? static_cast<DWORD>(dataRateKBps) * 1024 : 0;
    flags = dataRateOn ? flags | AVICOMPRESSF_DATARATE : flags & ~AVICOMPRESSF_DATARATE;
  }
  options.dwFlags = flags;
}

void ApplyCodecArguments(const CodecArguments& arguments, AVICOMPRESSOPTIONS& options) {
  if (const CodecDescription* codec = arguments.codec) {
    if (FindCodec(options.fccHandler) != codec) options.parms.clear();
    options.fccType = streamtypeVIDEO;
    options.fccHandler = codec->handler;
    options.dwFlags |= AVICOMPRESSF_VALID;
  }
  if (arguments.quality >= 0) options.dwQuality = static_cast<DWORD>(arguments.quality);
  if (arguments.keyFrameEvery > 0) {
    options.dwKeyFrameEvery = static_cast<DWORD>(arguments.keyFrameEvery);
    options.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  } else if (arguments.keyFrameEvery == 0) {
    options.dwFlags &= ~AVICOMPRESSF_KEYFRAMES;
  }
  if (arguments.dataRateKBps > 0) {
    options.dwBytesPerSecond = static_cast<DWORD>(arguments.dataRateKBps) * 1024;
    options.dwFlags |= AVICOMPRESSF_DATARATE;
  } else if (arguments.dataRateKBps == 0) {
    options.dwBytesPerSecond = 0;
    options.dwFlags &= ~AVICOMPRESSF_DATARATE;
  }
}

bool ChooseCodecOptions(const CompressionDialog& dialog) {
  const std::string temp = ProgramFolder::Join("ZQTemp.AVI");
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, temp, OF_WRITE | OF_CREATE) != AVIERR_OK) return false;
  AVISTREAMINFO info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = 0;
  info.dwScale = 1;
  info.dwRate = 100;
  info.dwSuggestedBufferSize = 40000;
  info.rcFrame = {0, 0, 50, 50};
  PAVISTREAM stream = nullptr;
  if (AVIFileCreateStream(file, &stream, &info) != AVIERR_OK) {
    AVIFileRelease(file);
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    return false;
  }
  CompressionDialogState state = CompressionDialogState::FromOptions(CodecOptions());
  const bool confirmed = dialog && dialog(state);
  if (confirmed) state.ApplyTo(CodecOptions());
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  std::error_code ec;
  std::filesystem::remove(temp, ec);
  if (!confirmed) return false;
  if (Prompts().AskYesNo("Would you like to set the current options as default?"))
    SaveCodecOptionsAsDefault();
  return true;
}

}  // namespace quendrolix
