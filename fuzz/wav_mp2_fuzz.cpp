// WAV bytes through the sound input and the layer II encoder: header walking, format
// checks, odd and truncated data chunks, rate raising and the whole encoder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "mpeg/audio/layer2_encoder.h"
#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"
#include "platform/host/file_exception.h"

namespace {

// A private folder for the input and output files, removed when the process ends.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    path = (std::filesystem::temp_directory_path() / "wav_mp2_fuzz-XXXXXX").string();
    if (!::mkdtemp(path.data())) std::abort();
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::string& Folder() {
  static ScratchFolder folder;
  return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  if (size > (1u << 20)) return 0;
  const std::string wav = Folder() + "/in.wav", mp2 = Folder() + "/out.mp2";
  std::FILE* file = std::fopen(wav.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  // Each input from the start of a run, so that a finding replays alone.
  Mp2Engine().ResetAsAtProgramStart();
  std::unique_ptr<SoundStreamReader> stream = OpenSoundStream(wav);
  if (stream && CheckSoundFormat(*stream)) {
    // Bit rates from the first byte, to reach every allocation table and mode.
    static const int kRates[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    Mp2Engine().parameters.bitRate = kRates[(size ? data[size - 1] : 0) % 14];
    PcmSource source(*stream);
    try {
      EncodeMp2File(mp2, source);
    } catch (const CFileException&) {
    }
  }
  std::remove(mp2.c_str());
  return 0;
}
