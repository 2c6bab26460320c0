#include <gtest/gtest.h>

#include <filesystem>

#include "mpeg/audio/layer2_encoder.h"
#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "platform/host/conversion_log.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"
#include "support/mpeg_audio_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

// Reads a whole source into interleaved 44.1 kHz samples (stereo layout even for mono).
std::vector<int16_t> Drain(PcmSource& source, std::vector<size_t>* returns = nullptr) {
  std::vector<int16_t> out;
  int16_t left[1152], right[1152];
  for (;;) {
    const size_t n = source.ReadBlock(left, right);
    if (returns) returns->push_back(n);
    if (n == 0) break;
    for (int i = 0; i < 1152; ++i) {
      out.push_back(left[i]);
      out.push_back(right[i]);
    }
  }
  return out;
}

TEST(PcmSourceTest, LowRatesAreRaisedAndCountedAt44100) {
  Mp2Engine().ResetAsAtProgramStart();
  // 22050 frames of 22.05 kHz mono: 44100 samples, 38 full blocks and one padded.
  MemorySoundStream mono = Pcm16Stream(22050, 1, MakeSignal(Signal::kChord, 22050, 1, 22050));
  PcmSource a(mono);
  EXPECT_EQ(a.totalSamples(), 44100u);
  std::vector<size_t> returns;
  Drain(a, &returns);
  ASSERT_EQ(returns.size(), 40u);
  for (size_t i = 0; i < 39; ++i) EXPECT_EQ(returns[i], 1152u);
  EXPECT_EQ(returns[39], 0u);

  // 11.025 kHz stereo: each block reads 288 sample frames.
  MemorySoundStream stereo =
      Pcm16Stream(11025, 2, MakeSignal(Signal::kChord, 11025, 2, 288 * 5 + 10));
  PcmSource b(stereo);
  EXPECT_EQ(b.totalSamples(), (288u * 5 + 10) * 2 * 4);
  Drain(b);
  ASSERT_EQ(stereo.requests.size(), 6u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(stereo.requests[i], (std::pair<uint64_t, uint64_t>(288u * i, 288u)));
  EXPECT_EQ(stereo.requests[5], (std::pair<uint64_t, uint64_t>(288u * 5, 10u)));
  EXPECT_EQ(Mp2Engine().zeroFilledFrames, 0u);
}

TEST(PcmSourceTest, SmoothingKeepsEachChannelAndCarriesAcrossBlocks) {
  Mp2Engine().ResetAsAtProgramStart();
  // Left a constant, right silent, at 22.05 kHz.
  std::vector<int16_t> samples;
  for (int i = 0; i < 3000; ++i) samples.insert(samples.end(), {10000, 0});
  MemorySoundStream stream = Pcm16Stream(22050, 2, samples);
  PcmSource source(stream);
  const std::vector<int16_t> out = Drain(source);
  // Four passes of a filter whose gain is 0.987937, each truncated toward zero.
  int steady = 10000;
  for (int pass = 0; pass < 4; ++pass)
    steady = static_cast<int>(0.612626 * steady + 0.375311 * steady);
  for (size_t i = 0; i < 6000; ++i) {
    EXPECT_EQ(out[2 * i + 1], 0) << i;
    // Only the very first samples of the run see the zero history; block boundaries
    // (every 1152) do not dip.
    if (i >= 4) {
      ASSERT_EQ(out[2 * i], steady) << i;
    }
  }
  EXPECT_LT(out[0], steady);

  // The smoothing history carries into the next conversion as well.
  MemorySoundStream again = Pcm16Stream(22050, 2, samples);
  PcmSource next(again);
  EXPECT_EQ(Drain(next)[0], steady);
}

TEST(PcmSourceTest, EightBitSoundIsWidenedAndShortStreamsAreFilledWithSilence) {
  Mp2Engine().ResetAsAtProgramStart();
  const std::vector<uint8_t> bytes = {0, 128, 255, 129};
  // Declared 10 frames, 4 present: 6 frames of silence, counted.
  MemorySoundStream stream(FormatRecord(WAVE_FORMAT_PCM, 44100, 1, 8), bytes, 10);
  PcmSource source(stream);
  std::vector<size_t> returns;
  const std::vector<int16_t> out = Drain(source, &returns);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[4], 32512);
  EXPECT_EQ(out[6], 256);
  for (size_t i = 8; i < out.size(); ++i) EXPECT_EQ(out[i], 0);
  EXPECT_EQ(returns, (std::vector<size_t>{1152, 0}));
  EXPECT_EQ(Mp2Engine().zeroFilledFrames, 6u);
}

TEST(SoundToMp2Test, ConvertsAWavBesideItWithTheLogLines) {
  ScopedProgramFolder home;
  TempDir dir;
  const std::string wav = dir.File("tune.wav");
  WritePcm16Wav(wav, 22050, 1, MakeSignal(Signal::kChord, 22050, 1, 22050));
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  Mp2Engine().parameters.bitRate = 64;  // a caller's choice does not reach the encoder
  ASSERT_TRUE(ConvertSoundToMp2(wav, dir.File("tune.mp2")));
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"Number of audio channels: 1",
                                      "Audio sampling rate: 22.050KHz (16 bits per sample)",
                                      "Audio bit-rate: 128Kbits", "Audio stream closed"}));
  EXPECT_EQ(log.percents.back(), 100);
  std::vector<Mp2Frame> frames;
  std::string error;
  ASSERT_TRUE(ParseMp2(ReadBytes(dir.File("tune.mp2")), frames, &error)) << error;
  EXPECT_EQ(frames.size(), 39u);
  EXPECT_EQ(frames[0].mode, 3);
  EXPECT_EQ(frames[0].bitrateIndex, 8);
}

TEST(SoundToMp2Test, EightBitSilenceEncodesAsDigitalSilence) {
  TempDir dir;
  const size_t frames = 5000;
  WriteWavFile(dir.File("quiet8.wav"), FormatRecord(WAVE_FORMAT_PCM, 44100, 2, 8),
               std::vector<uint8_t>(frames * 2, 128));
  WritePcm16Wav(dir.File("quiet16.wav"), 44100, 2, std::vector<int16_t>(frames * 2, 0));
  Mp2Engine().ResetAsAtProgramStart();
  ASSERT_TRUE(ConvertSoundToMp2(dir.File("quiet8.wav"), dir.File("quiet8.mp2")));
  Mp2Engine().ResetAsAtProgramStart();
  ASSERT_TRUE(ConvertSoundToMp2(dir.File("quiet16.wav"), dir.File("quiet16.mp2")));
  EXPECT_EQ(ReadBytes(dir.File("quiet8.mp2")), ReadBytes(dir.File("quiet16.mp2")));
}

TEST(SoundToMp2Test, RefusedSourcesLeaveTheOldFileAlone) {
  TempDir dir;
  struct Case {
    std::string name;
    std::vector<uint8_t> format;
    std::string line;
  };
  // What no decoder takes keeps the old refusals: a tag nothing decodes, and PCM of a
  // depth no decoder reads.
  for (const Case& c : {
           Case{"unknown.wav", FormatRecord(0x7777, 22050, 1, 4),
                "Error: compressed audio is unsupported"},
           Case{"odd.wav", FormatRecord(WAVE_FORMAT_PCM, 44100, 1, 12),
                "Error: 12 bit audio is not supported (must be 8 or 16)"},
       }) {
    SCOPED_TRACE(c.name);
    const std::string wav = dir.File(c.name);
    WriteWavFile(wav, c.format, std::vector<uint8_t>(4800, 1));
    const std::string mp2 = fs::path(wav).replace_extension("mp2").string();
    WriteText(mp2, "earlier result");
    RecordingConversionLog log;
    ScopedConversionLog scope(log);
    std::string reason;
    EXPECT_FALSE(ConvertSoundToMp2(wav, mp2, &reason));
    EXPECT_EQ(log.lines.back(), c.line);
    EXPECT_EQ(ReadText(mp2), "earlier result");
  }
  // Unreadable files fail without a log line.
  WriteText(dir.File("text.wav"), "not a sound");
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  std::string reason;
  EXPECT_FALSE(ConvertSoundToMp2(dir.File("text.wav"), dir.File("text.mp2"), &reason));
  EXPECT_FALSE(ConvertSoundToMp2(dir.File("absent.wav"), dir.File("absent.mp2"), &reason));
  EXPECT_TRUE(log.lines.empty());
  EXPECT_FALSE(fs::exists(dir.File("text.mp2")));
  // A WAV named .mp2 is not replaced by its own conversion.
  WritePcm16Wav(dir.File("odd.mp2"), 44100, 1, std::vector<int16_t>(5000, 3));
  const auto before = ReadBytes(dir.File("odd.mp2"));
  EXPECT_FALSE(ConvertSoundToMp2(dir.File("odd.mp2"), dir.File("odd.mp2"), &reason));
  EXPECT_EQ(ReadBytes(dir.File("odd.mp2")), before);
}

// Sound the encoder does not take as stored reaches it decoded and resampled to 44.1 kHz:
// other rates, deeper or float samples, more channels, and sound files that are not RIFF.
TEST(SoundToMp2Test, OtherRatesDepthsAndLayoutsAreDecodedForTheEncoder) {
  TempDir dir;
  struct Case {
    std::string name;
    uint16_t tag;
    uint32_t rate;
    uint16_t channels, bits;
  };
  for (const Case& c : {Case{"high.wav", WAVE_FORMAT_PCM, 48000, 2, 16},
                        Case{"deep.wav", WAVE_FORMAT_PCM, 44100, 2, 24},
                        Case{"six.wav", WAVE_FORMAT_PCM, 32000, 6, 16},
                        Case{"float.wav", WAVE_FORMAT_IEEE_FLOAT, 96000, 1, 32}}) {
    SCOPED_TRACE(c.name);
    // One second of a quiet ramp, whatever the layout.
    const size_t bytes = size_t{c.rate} * c.channels * (c.bits / 8);
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i % 7 == 0 ? 1 : 0);
    if (c.tag == WAVE_FORMAT_IEEE_FLOAT) std::fill(data.begin(), data.end(), uint8_t{0});
    const std::string wav = dir.File(c.name);
    WriteWavFile(wav, FormatRecord(c.tag, c.rate, c.channels, c.bits), data);
    std::string reason;
    auto stream = OpenSoundStream(wav, &reason);
    ASSERT_TRUE(stream) << reason;
    EXPECT_EQ(stream->Format().nSamplesPerSec, 44100u);
    EXPECT_EQ(stream->Format().wBitsPerSample, 16);
    EXPECT_EQ(stream->Format().nChannels, c.channels == 1 ? 1 : 2);
    EXPECT_NEAR(static_cast<double>(stream->Length()), 44100, 64);
    EXPECT_TRUE(CheckSoundFormat(*stream));
    RecordingConversionLog log;
    ScopedConversionLog scope(log);
    const std::string mp2 = dir.File(c.name + ".mp2");
    ASSERT_TRUE(ConvertSoundToMp2(wav, mp2, &reason)) << reason;
    EXPECT_TRUE(log.HasLine("Audio sampling rate: 44.100KHz (16 bits per sample)"));
    // One second at 44.1 kHz: 38 full frames and one padded; 417 or 418 bytes each.
    const auto size = fs::file_size(mp2);
    EXPECT_GE(size, 39u * 417);
    EXPECT_LE(size, 39u * 418);
  }
}

TEST(SoundToMp2Test, AviSoundGoesThroughTheInstalledOpener) {
  TempDir dir;
  const std::string avi = dir.File("clip.avi");
  WriteText(avi, std::string("RIFF\x10\0\0\0AVI LIST", 16));
  std::string reason;
  EXPECT_FALSE(ConvertSoundToMp2(avi, dir.File("clip.mp2"), &reason));
  EXPECT_NE(reason.find("AVI"), std::string::npos);

  std::string openedPath;
  SetAviSoundOpener(
      [&](const std::string& path, std::string*) -> std::unique_ptr<SoundStreamReader> {
        openedPath = path;
        return std::make_unique<MemorySoundStream>(
            Pcm16Stream(44100, 2, MakeSignal(Signal::kChord, 44100, 2, 1152 * 3)));
      });
  EXPECT_TRUE(ConvertSoundToMp2(avi, dir.File("clip.mp2"), &reason));
  SetAviSoundOpener({});
  EXPECT_EQ(openedPath, avi);
  EXPECT_EQ(fs::file_size(dir.File("clip.mp2")), 418u * 3);  // three padded frames
}

TEST(Wav2Mp2CommandTest, ConvertsEveryFileAndReportsFailures) {
  TempDir dir;
  for (const char* name : {"a.wav", "b.wav", "c.wav"})
    WritePcm16Wav(dir.File(name), 11025, 1, MakeSignal(Signal::kChord, 11025, 1, 4000));
  CommandResult ok = RunCli({"--home", dir.File("home"), "wav2mp2", dir.File("a.wav"),
                             dir.File("b.wav"), dir.File("c.wav")});
  EXPECT_EQ(ok.status, 0) << ok.errors;
  for (const char* name : {"a.mp2", "b.mp2", "c.mp2"}) EXPECT_TRUE(fs::exists(dir.File(name)));
  EXPECT_EQ(ok.output.rfind("Conversion completed\n"), ok.output.size() - 21);
  EXPECT_EQ(ok.output.find("Conversion completed"), ok.output.rfind("Conversion completed"));
  EXPECT_NE(ok.output.find("Audio sampling rate: 11.025KHz (16 bits per sample)"),
            std::string::npos);

  WriteWavFile(dir.File("odd.wav"), FormatRecord(WAVE_FORMAT_PCM, 44100, 1, 12),
               std::vector<uint8_t>(1000));
  CommandResult mixed = RunCli({"--home", dir.File("home"), "wav2mp2", dir.File("odd.wav"),
                                dir.File("missing.wav"), dir.File("a.wav")});
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.errors.find("missing.wav"), std::string::npos);
  EXPECT_NE(mixed.output.find("Error: 12 bit audio is not supported"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("odd.mp2")));
  EXPECT_NE(mixed.output.find("Conversion completed"), std::string::npos);
  EXPECT_EQ(RunCli({"wav2mp2"}).status, 2);
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

// The sound of an AVI comes through the AVI file services, as the WAV's would.
TEST(SoundToMp2Test, AviSoundIsReadThroughTheAviServices) {
  testing::TempDir dir;
  const std::string avi = dir.File("movie.avi");
  const std::vector<int16_t> samples =
      testing::MakeSignal(testing::Signal::kChord, 22050, 1, 22050);
  {
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), avi, OF_WRITE | OF_CREATE), AVIERR_OK);
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    AVISTREAMINFO info{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = format.nBlockAlign;
    info.dwRate = format.nAvgBytesPerSec;
    info.dwSampleSize = format.nBlockAlign;
    ScopedAviStream stream;
    ASSERT_EQ(AVIFileCreateStream(file.get(), stream.out(), &info), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(stream.get(), 0, &format, sizeof format), AVIERR_OK);
    ASSERT_EQ(
        AVIStreamWrite(stream.get(), 0, static_cast<LONG>(samples.size()), samples.data(),
                       static_cast<LONG>(samples.size() * 2), AVIIF_KEYFRAME, nullptr, nullptr),
        AVIERR_OK);
  }
  std::string reason;
  ASSERT_TRUE(ConvertSoundToMp2(avi, dir.File("movie.mp2"), &reason)) << reason;
  // One second of 22.05 kHz mono, raised to 44.1 kHz: 39 frames, as from a WAV.
  const std::string wav = dir.File("movie.wav");
  testing::WritePcm16Wav(wav, 22050, 1, samples);
  ASSERT_TRUE(ConvertSoundToMp2(wav, dir.File("movie-wav.mp2"), &reason)) << reason;
  EXPECT_EQ(std::filesystem::file_size(dir.File("movie.mp2")),
            std::filesystem::file_size(dir.File("movie-wav.mp2")));
}

TEST(SoundToMp2Test, AviWithoutSoundIsRefusedWithAReason) {
  testing::TempDir dir;
  const std::string avi = dir.File("silent.avi");
  testing::WriteText(avi, std::string("RIFF\x04\0\0\0AVI ", 12));
  std::string reason;
  EXPECT_FALSE(ConvertSoundToMp2(avi, dir.File("silent.mp2"), &reason));
  EXPECT_NE(reason.find("AVI"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("silent.mp2")));
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

// The lines a conversion logged, and the frames of the MP2 it wrote.
struct Converted {
  std::vector<std::string> lines;
  size_t frames = 0;
  uint64_t zeroFilled = 0;
};

Converted Convert(const std::string& source, const std::string& mp2) {
  Converted c;
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  std::string reason;
  EXPECT_TRUE(ConvertSoundToMp2(source, mp2, &reason)) << reason;
  c.lines = log.lines;
  c.zeroFilled = Mp2Engine().zeroFilledFrames;
  std::vector<testing::Mp2Frame> frames;
  std::string error;
  EXPECT_TRUE(testing::ParseMp2(testing::ReadBytes(mp2), frames, &error)) << error;
  c.frames = frames.size();
  return c;
}

bool Said(const Converted& c, const std::string& line) {
  return std::find(c.lines.begin(), c.lines.end(), line) != c.lines.end();
}

TEST(ShortSoundTest, AWavShorterThanItsHeaderSaysIsPaddedWithSilenceAndCounted) {
  testing::TempDir dir;
  const std::string wav = dir.File("cut.wav");
  // One second of 22.05 kHz mono: 44100 bytes of data after a 44-byte header, then half
  // of the data lost.
  testing::WritePcm16Wav(wav, 22050, 1,
                         testing::MakeSignal(testing::Signal::kChord, 22050, 1, 22050));
  std::vector<uint8_t> bytes = testing::ReadBytes(wav);
  ASSERT_GT(bytes.size(), 44100u);
  const size_t data = bytes.size() - 44100;  // where the samples start
  ASSERT_EQ(std::string(bytes.begin() + data - 8, bytes.begin() + data - 4), "data");
  bytes.resize(data + 22050);
  testing::WriteBytes(wav, bytes);
  const Converted cut = Convert(wav, dir.File("cut.mp2"));
  EXPECT_EQ(cut.frames, 39u);  // as long as the header says, like the whole file
  EXPECT_EQ(cut.zeroFilled, 11025u);
  EXPECT_TRUE(Said(cut, "Warning: 11025 audio samples set to 0 length"));

  // A streaming writer's placeholder length is no claim: the sound is what is there.
  bytes[data - 4] = bytes[data - 3] = bytes[data - 2] = bytes[data - 1] = 0xFF;
  testing::WriteBytes(dir.File("stream.wav"), bytes);
  const Converted streamed = Convert(dir.File("stream.wav"), dir.File("stream.mp2"));
  EXPECT_EQ(streamed.zeroFilled, 0u);
  EXPECT_EQ(streamed.frames, 20u);  // 22050 samples at 44.1 kHz: 19 full frames and one padded
  EXPECT_FALSE(Said(streamed, "Warning: 0 audio samples set to 0 length"));

  // A header claiming a hundred times what is there is damaged, not cut: no more silence
  // is added than there is sound (it once made hours of silence from a 1 KB file).
  const uint32_t claimed = 100 * 44100;
  for (int i = 0; i < 4; ++i) bytes[data - 4 + i] = uint8_t(claimed >> (8 * i));
  testing::WriteBytes(dir.File("claims.wav"), bytes);
  const Converted claims = Convert(dir.File("claims.wav"), dir.File("claims.mp2"));
  EXPECT_EQ(claims.zeroFilled, 11025u);
  EXPECT_EQ(claims.frames, 39u);
}

TEST(ShortSoundTest, AnAviSoundCutShortIsPaddedWithSilenceAndCounted) {
  testing::TempDir dir;
  const std::string avi = dir.File("cut.avi");
  const std::vector<int16_t> samples =
      testing::MakeSignal(testing::Signal::kChord, 22050, 1, 22050);
  {
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), avi, OF_WRITE | OF_CREATE), AVIERR_OK);
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    AVISTREAMINFO info{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = format.nBlockAlign;
    info.dwRate = format.nAvgBytesPerSec;
    info.dwSampleSize = format.nBlockAlign;
    ScopedAviStream stream;
    ASSERT_EQ(AVIFileCreateStream(file.get(), stream.out(), &info), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(stream.get(), 0, &format, sizeof format), AVIERR_OK);
    // Ten chunks of a tenth of a second each.
    for (int k = 0; k < 10; ++k)
      ASSERT_EQ(AVIStreamWrite(stream.get(), k * 2205, 2205, samples.data() + k * 2205, 4410,
                               AVIIF_KEYFRAME, nullptr, nullptr),
                AVIERR_OK);
  }
  // The end of the file (some chunks and the index) lost.
  std::vector<uint8_t> bytes = testing::ReadBytes(avi);
  bytes.resize(bytes.size() * 6 / 10);
  testing::WriteBytes(avi, bytes);
  const Converted cut = Convert(avi, dir.File("cut.mp2"));
  EXPECT_EQ(cut.frames, 39u);
  EXPECT_GT(cut.zeroFilled, 0u);
  EXPECT_EQ(cut.zeroFilled % 2205, 0u);  // whole chunks missing
  EXPECT_TRUE(
      Said(cut, "Warning: " + std::to_string(cut.zeroFilled) + " audio samples set to 0 length"));
}

}  // namespace
}  // namespace quendrolix
