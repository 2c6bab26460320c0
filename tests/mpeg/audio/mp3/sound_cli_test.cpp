// The wav2mp3 and record commands of quendrolix-cli.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/vfw/wav_file.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

std::vector<uint8_t> DataOf(const std::string& path) {
  auto wav = WavFile::Open(path);
  if (!wav) return {};
  std::vector<uint8_t> data(wav->dataBytes());
  wav->Read(0, wav->lengthInBlocks(), data.data(), data.size());
  return data;
}

TEST(RecordCliTest, RecordsTheGivenSecondsFromAFile) {
  TempDir dir;
  auto source = WritePcmWav(dir.File("in.wav"), 44100, 2, 16, 44100 * 3 + 17);
  CommandResult run =
      RunCli({"record", dir.File("out.wav"), "--seconds", "2", "--from", dir.File("in.wav")});
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  auto saved = DataOf(dir.File("out.wav"));
  ASSERT_EQ(saved.size(), 44100u * 2 * 4);
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), source.begin()));

  // A shorter file gives all it has.
  run = RunCli({"record", dir.File("all.wav"), "--seconds", "9", "--from", dir.File("in.wav")});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(DataOf(dir.File("all.wav")), source);

  run = RunCli({"record", dir.File("out.mp3"), "--seconds", "1", "--from", dir.File("in.wav")});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.output.find("Save of " + dir.File("out.mp3") + " completed"), std::string::npos);
  auto summary = ScanMp3(ReadBytes(dir.File("out.mp3")));
  EXPECT_TRUE(summary.valid);
  EXPECT_EQ(summary.sampleRate, 44100u);
  EXPECT_FALSE(fs::exists(dir.File("out.wav.part")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST(RecordCliTest, RefusalsAndBadUsage) {
  TempDir dir;
  WritePcmWav(dir.File("in.wav"), 44100, 2, 16, 100);
  // No sound server to be had: a clear message, exit 1, nothing written.
  CommandResult run =
      RunCommand("PULSE_SERVER=unix:/nonexistent/quendrolix-test " + ShellQuote(QUENDROLIX_CLI) +
                 " record " + ShellQuote(dir.File("out.wav")) + " --seconds 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("No sound capture device"), std::string::npos) << run.errors;
  EXPECT_FALSE(fs::exists(dir.File("out.wav")));

  run = RunCli({"record", dir.File("out.ogg"), "--seconds", "1", "--from", dir.File("in.wav")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("The specified format it not supported."), std::string::npos);

  EXPECT_EQ(RunCli({"record", dir.File("out.wav")}).status, 2);
  EXPECT_EQ(RunCli({"record", dir.File("out.wav"), "--seconds", "0"}).status, 2);
  EXPECT_EQ(RunCli({"record", "--seconds", "1"}).status, 2);
  EXPECT_EQ(RunCli({"wav2mp3"}).status, 2);
}

TEST(Wav2Mp3CliTest, ConvertsEachFileAndStopsAtTheFirstFailure) {
  TempDir dir;
  WriteToneWav(dir.File("a.wav"), 22050, 1, 0.5);
  WriteToneWav(dir.File("b.wav"), 44100, 2, 0.5);
  CommandResult run = RunCli({"wav2mp3", dir.File("a.wav"), dir.File("b.wav")});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.output, "Starting Mp3 engine...\na.wav\nb.wav\nConversion completed\n");
  EXPECT_EQ(ScanMp3(ReadBytes(dir.File("a.mp3"))).channels, 1);
  EXPECT_EQ(ScanMp3(ReadBytes(dir.File("b.mp3"))).channels, 2);

  run = RunCli({"wav2mp3", dir.File("missing.wav"), dir.File("a.wav")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Conversion stopped (2)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace quendrolix
