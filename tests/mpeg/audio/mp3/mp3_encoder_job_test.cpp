#include "mpeg/audio/mp3/mp3_encoder_job.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "mpeg/audio/mp3/mp3_commands.h"
#include "platform/host/conversion_log.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::FakeEncoderLibrary;
using testing::ReadBytes;
using testing::TempDir;
using testing::WritePcmWav;

class HostWithLibrary : public Mp3CommandHost {
 public:
  explicit HostWithLibrary(fs::path library) : library_(std::move(library)) {}
  fs::path LibraryPath() const override { return library_; }
  void SetLogBusy(bool busy) override { busyCalls.push_back(busy); }
  void HideLog() override { ++hides; }
  void RememberOutputFile(const std::string& path) override { remembered = path; }
  std::vector<bool> busyCalls;
  int hides = 0;
  std::string remembered;

 private:
  fs::path library_;
};

class CountingOwner : public Mp3EncoderJob::Owner {
 public:
  void FileStarted(const Mp3EncoderJob& job) override {
    started.push_back(job.currentSourcePath());
  }
  void ChunkEncoded(const Mp3EncoderJob& job) override {
    percents.push_back(job.progressPercent());
  }
  std::vector<std::string> started;
  std::vector<int> percents;
};

std::vector<uint8_t> WithTrailer(std::vector<uint8_t> pcm) {
  pcm.insert(pcm.end(), {'E', 'N', 'D', '!'});
  return pcm;
}

TEST(Mp3CommandTest, MissingLibraryStopsWithOneAndWritesNothing) {
  TempDir dir;
  WritePcmWav(dir.File("a.wav"), 44100, 2, 16, 100);
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  HostWithLibrary host(dir.path() / "Dll/libbladeenc.so");
  int result = -1;
  EXPECT_FALSE(ConvertWavFilesToMp3({dir.File("a.wav")}, &host, &result));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"Starting Mp3 engine...", "Conversion stopped (1)"}));
  EXPECT_EQ(host.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_FALSE(fs::exists(dir.File("a.mp3")));
}

TEST(Mp3CommandTest, LibraryWithoutDeinitStopsWithTwoBeforeAnyFileIsOpened) {
  TempDir dir;
  WritePcmWav(dir.File("a.wav"), 44100, 2, 16, 100);
  CountingOwner owner;
  Mp3EncoderJob job(&owner);
  job.SetLibraryPath(testing::FakeEncoderLibraryWithoutDeinitPath());
  job.AddSource(dir.File("a.wav"));
  EXPECT_FALSE(job.Run());
  EXPECT_EQ(job.lastResult(), Mp3EncoderJob::kResultMissingEntryPoint);
  EXPECT_TRUE(owner.started.empty());
  EXPECT_TRUE(job.currentSourcePath().empty());
  EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "a.wav");  // nothing made

  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  HostWithLibrary host(testing::FakeEncoderLibraryWithoutDeinitPath());
  EXPECT_FALSE(ConvertWavFilesToMp3({dir.File("a.wav")}, &host));
  EXPECT_TRUE(log.HasLine("Conversion stopped (2)"));
}

TEST(Mp3EncoderJobTest, FeedsOnlyPcmSamplesInChunksAndFlushesLast) {
  FakeEncoderLibrary fake;
  fake.Reset(1000);  // 500 stereo frames a chunk
  TempDir dir;
  auto pcm = WritePcmWav(dir.File("song.wav"), 44100, 2, 16, 1203);
  CountingOwner owner;
  Mp3EncoderJob job(&owner);
  job.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job.AddSource(dir.File("song.wav"));
  ASSERT_TRUE(job.Run());
  EXPECT_EQ(job.lastResult(), 0);
  EXPECT_EQ(fake.trace(),
            "init(kind=0,rate=44100,mode=0,kbps=128,flags=0000) encode(1000) encode(1000) "
            "encode(406) deinit close");
  EXPECT_EQ(ReadBytes(dir.File("song.mp3")), WithTrailer(pcm));  // no header bytes among them
  EXPECT_EQ(job.currentOutputPath(), dir.File("song.mp3"));
  EXPECT_EQ(owner.started, std::vector<std::string>{dir.File("song.wav")});
  EXPECT_EQ(owner.percents, (std::vector<int>{0, 41, 83}));  // read before each chunk
}

TEST(Mp3EncoderJobTest, MonoAndHalfRateSoundIsDescribedAsItIs) {
  FakeEncoderLibrary fake;
  TempDir dir;
  auto mono = WritePcmWav(dir.File("mono.wav"), 22050, 1, 16, 3000);
  auto eight = WritePcmWav(dir.File("eight.wav"), 11025, 2, 8, 700);
  Mp3EncoderJob job;
  job.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job.AddSource(dir.File("mono.wav"));
  job.AddSource(dir.File("eight.wav"));
  ASSERT_TRUE(job.Run());
  EXPECT_EQ(fake.trace(),
            "init(kind=0,rate=22050,mode=3,kbps=128,flags=0000) encode(1152) encode(1152) "
            "encode(696) deinit close "
            "init(kind=0,rate=11025,mode=0,kbps=128,flags=0000) encode(1400) deinit close");
  EXPECT_EQ(ReadBytes(dir.File("mono.mp3")), WithTrailer(mono));
  // 8-bit samples arrive widened: (b - 128) * 256.
  std::vector<uint8_t> widened;
  for (uint8_t b : eight) {
    auto v = static_cast<int16_t>((b - 128) * 256);
    widened.push_back(static_cast<uint8_t>(v & 0xFF));
    widened.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  EXPECT_EQ(ReadBytes(dir.File("eight.mp3")), WithTrailer(widened));
  // The mono stream asked for smaller chunks than the stereo one: the buffers grew once.
  EXPECT_EQ(job.bufferAllocations(), 2);
}

TEST(Mp3EncoderJobTest, TwoSourcesShareOneBufferAllocation) {
  FakeEncoderLibrary fake;
  TempDir dir;
  WritePcmWav(dir.File("a.wav"), 44100, 2, 16, 10);
  WritePcmWav(dir.File("b.wav"), 44100, 2, 16, 0);  // no samples: only the flush
  Mp3EncoderJob job;
  job.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job.AddSource(dir.File("a.wav"));
  job.AddSource(dir.File("b.wav"));
  ASSERT_TRUE(job.Run());
  EXPECT_EQ(job.bufferAllocations(), 1);
  EXPECT_EQ(fake.trace(),
            "init(kind=0,rate=44100,mode=0,kbps=128,flags=0000) encode(20) deinit close "
            "init(kind=0,rate=44100,mode=0,kbps=128,flags=0000) deinit close");
  EXPECT_EQ(ReadBytes(dir.File("b.mp3")), (std::vector<uint8_t>{'E', 'N', 'D', '!'}));
}

TEST(Mp3EncoderJobTest, WiderSamplesKeepTheirTopSixteenBits) {
  FakeEncoderLibrary fake;
  TempDir dir;
  auto wide = WritePcmWav(dir.File("w.wav"), 48000, 2, 24, 50);
  Mp3EncoderJob job;
  job.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job.AddSource(dir.File("w.wav"));
  ASSERT_TRUE(job.Run());
  std::vector<uint8_t> expected;
  for (size_t i = 0; i < wide.size(); i += 3)
    expected.insert(expected.end(), {wide[i + 1], wide[i + 2]});
  EXPECT_EQ(ReadBytes(dir.File("w.mp3")), WithTrailer(expected));
}

TEST(Mp3EncoderJobTest, WhatIsNotPcmWavIsRefusedWithAMessage) {
  FakeEncoderLibrary fake;
  TempDir dir;
  testing::WriteBytes(dir.File("empty.wav"), {});
  // An ADPCM header: format tag 2.
  WritePcmWav(dir.File("adpcm.wav"), 22050, 1, 16, 10);
  auto bytes = ReadBytes(dir.File("adpcm.wav"));
  bytes[20] = 2;
  testing::WriteBytes(dir.File("adpcm.wav"), bytes);
  WritePcmWav(dir.File("six.wav"), 44100, 6, 16, 10);

  for (const char* name : {"empty.wav", "adpcm.wav", "six.wav"}) {
    SCOPED_TRACE(name);
    RecordingConversionLog log;
    ScopedConversionLog scope(log);
    HostWithLibrary host(testing::FakeEncoderLibraryPath());
    int result = 0;
    EXPECT_FALSE(ConvertWavFilesToMp3({dir.File(name)}, &host, &result));
    EXPECT_EQ(result, EINVAL);
    ASSERT_EQ(log.lines.size(), 4u);
    EXPECT_EQ(log.lines[1], name);
    EXPECT_EQ(log.lines[2].rfind("Error: " + dir.File(name), 0), 0u) << log.lines[2];
    EXPECT_EQ(log.lines[3], StringPrintf("Conversion stopped (%d)", EINVAL));
  }
  EXPECT_EQ(fake.trace(), "");  // the library never saw them
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
}

TEST(Mp3EncoderJobTest, FirstFailureEndsTheJobAndLeavesExistingFilesAlone) {
  FakeEncoderLibrary fake;
  fake.Reset(0, 2, 0x106);  // the second chunk of the run fails
  TempDir dir;
  auto first = WritePcmWav(dir.File("1.wav"), 44100, 2, 16, 100);
  WritePcmWav(dir.File("2.wav"), 44100, 2, 16, 5000);
  WritePcmWav(dir.File("3.wav"), 44100, 2, 16, 100);
  testing::WriteText(dir.File("2.mp3"), "an older, good file");

  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  HostWithLibrary host(testing::FakeEncoderLibraryPath());
  int result = 0;
  EXPECT_FALSE(ConvertWavFilesToMp3(
      {dir.File("1.wav"), dir.File("2.wav"), dir.File("3.wav"), dir.File("missing.wav")}, &host,
      &result));
  EXPECT_EQ(result, 0x106);
  EXPECT_TRUE(log.HasLine("Conversion stopped (262)"));
  EXPECT_EQ(fake.trace(),
            "init(kind=0,rate=44100,mode=0,kbps=128,flags=0000) encode(200) deinit close "
            "init(kind=0,rate=44100,mode=0,kbps=128,flags=0000) encode(2304) close");
  EXPECT_EQ(ReadBytes(dir.File("1.mp3")), WithTrailer(first));
  EXPECT_EQ(testing::ReadText(dir.File("2.mp3")), "an older, good file");
  EXPECT_FALSE(fs::exists(dir.File("3.mp3")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
  EXPECT_TRUE(host.remembered.empty());
}

TEST(Mp3EncoderJobTest, UnreadableSourceGivesItsErrorNumber) {
  FakeEncoderLibrary fake;
  TempDir dir;
  Mp3EncoderJob job;
  job.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job.AddSource(dir.File("nothing.wav"));
  EXPECT_FALSE(job.Run());
  EXPECT_EQ(job.lastResult(), ENOENT);

  WritePcmWav(dir.File("a.wav"), 44100, 2, 16, 10);
  Mp3EncoderJob job2;
  job2.SetLibraryPath(testing::FakeEncoderLibraryPath());
  job2.AddSource(dir.File("a.wav"), dir.File("no/such/folder/a.mp3"));
  EXPECT_FALSE(job2.Run());
  EXPECT_EQ(job2.lastResult(), ENOENT);
  EXPECT_EQ(fake.trace(), "");
}

TEST(Mp3CommandTest, SuccessRemembersTheLastOutputAndSavingDeletesTheWavOnRequest) {
  FakeEncoderLibrary fake;
  TempDir dir;
  WritePcmWav(dir.File("a.wav"), 44100, 2, 16, 10);
  WritePcmWav(dir.File("b.wav"), 44100, 2, 16, 10);
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  HostWithLibrary host(testing::FakeEncoderLibraryPath());
  EXPECT_TRUE(ConvertWavFilesToMp3({dir.File("a.wav"), dir.File("b.wav")}, &host));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"Starting Mp3 engine...", "a.wav", "b.wav",
                                                 "Conversion completed"}));
  EXPECT_EQ(host.remembered, dir.File("b.mp3"));
  EXPECT_EQ(host.hides, 0);

  log.lines.clear();
  EXPECT_TRUE(SaveRecordingAsMp3(dir.File("a.wav"), dir.File("Take.MP3"), true, &host));
  EXPECT_EQ(log.lines.back(), "Save of " + dir.File("Take.MP3") + " completed");
  EXPECT_TRUE(fs::exists(dir.File("Take.MP3")));
  EXPECT_FALSE(fs::exists(dir.File("a.wav")));
  EXPECT_EQ(host.hides, 1);

  EXPECT_FALSE(SaveRecordingAsMp3(dir.File("a.wav"), dir.File("x.mp3"), false, &host));
  EXPECT_EQ(log.lines.back(), StringPrintf("Saving failed (%d)", ENOENT));
  EXPECT_EQ(host.hides, 2);
}

}  // namespace
}  // namespace quendrolix
