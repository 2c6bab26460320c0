#include "avi/codec_options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "avi/avi_error_text.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

class CodecOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCodecOptions(); }
  void TearDown() override { ResetCodecOptions(); }
  ScopedProgramFolder home;
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
};

TEST_F(CodecOptionsTest, StartValues) {
  const AVICOMPRESSOPTIONS& o = CodecOptions();
  EXPECT_EQ(o.fccType, MakeFourCC('v', 'i', 'd', 's'));
  EXPECT_EQ(o.fccHandler, MakeFourCC('m', 's', 'v', 'c'));
  EXPECT_EQ(o.dwKeyFrameEvery, 20u);
  EXPECT_EQ(o.dwQuality, 10000u);
  EXPECT_EQ(o.dwBytesPerSecond, 0u);
  EXPECT_EQ(o.dwFlags, AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES);
  EXPECT_TRUE(o.format.empty());
  EXPECT_TRUE(o.parms.empty());
  EXPECT_EQ(o.dwInterleaveEvery, 0u);
}

TEST_F(CodecOptionsTest, FileLayoutWithAndWithoutState) {
  const std::string path = home.File("AVI.codec");
  ASSERT_TRUE(SaveCodecOptions(path));
  // Interleave every comes before the state size.
  const Bytes expected = Concat({{'v', 'i', 'd', 's', 'm', 's', 'v', 'c'},
                                 U32(20),
                                 U32(10000),
                                 U32(0),
                                 U32(12),
                                 U32(0),
                                 U32(0)});
  EXPECT_EQ(ReadBytes(path), expected);

  AVICOMPRESSOPTIONS o = CodecOptionsStartValues();
  o.dwInterleaveEvery = 3;
  o.parms = {0xAA, 0xBB, 0xCC};
  o.format = {1, 2, 3, 4};  // never stored
  ASSERT_TRUE(SaveCodecOptions(path, o));
  EXPECT_EQ(ReadBytes(path), Concat({{'v', 'i', 'd', 's', 'm', 's', 'v', 'c'},
                                     U32(20),
                                     U32(10000),
                                     U32(0),
                                     U32(12),
                                     U32(3),
                                     U32(3),
                                     {0xAA, 0xBB, 0xCC}}));
  AVICOMPRESSOPTIONS back;
  ASSERT_TRUE(LoadCodecOptions(path, back));
  EXPECT_EQ(back.parms, o.parms);
  EXPECT_EQ(back.dwInterleaveEvery, 3u);
  EXPECT_EQ(back.fccHandler, o.fccHandler);
  // A file without state loads back with none.
  back.parms = {1};
  ASSERT_TRUE(SaveCodecOptions(path, CodecOptionsStartValues()));
  ASSERT_TRUE(LoadCodecOptions(path, back));
  EXPECT_TRUE(back.parms.empty());
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST_F(CodecOptionsTest, DamagedFilesGiveTheMessageAndKeepWhatWasRead) {
  const std::string path = home.File("short.codec");
  // Three fields, then the file ends.
  WriteBytes(path, Concat({{'v', 'i', 'd', 's', 'D', 'I', 'B', ' '}, U32(7)}));
  AVICOMPRESSOPTIONS o = CodecOptionsStartValues();
  EXPECT_FALSE(LoadCodecOptions(path, o));
  EXPECT_EQ(o.fccHandler, MakeFourCC('D', 'I', 'B', ' '));
  EXPECT_EQ(o.dwKeyFrameEvery, 7u);
  EXPECT_EQ(o.dwQuality, 10000u);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0], "Could not load AVI options file: " + path);

  // A state size far beyond the file: refused without allocating it.
  WriteBytes(path, Concat({Bytes(28, 0), U32(0xFFFFFFF0), {1, 2}}));
  EXPECT_FALSE(LoadCodecOptions(path, o));
  EXPECT_EQ(prompts.messages.size(), 2u);
  EXPECT_FALSE(LoadCodecOptions(home.File("missing.codec"), o));
  EXPECT_EQ(prompts.messages.back(),
            "Could not load AVI options file: " + home.File("missing.codec"));

  const std::string bad = home.File("no/folder/AVI.codec");
  EXPECT_FALSE(SaveCodecOptions(bad));
  EXPECT_EQ(prompts.messages.back(), "Could not save AVI options file: " + bad);
}

TEST_F(CodecOptionsTest, DialogRulesFollowTheChosenCompressor) {
  AVICOMPRESSOPTIONS o = CodecOptionsStartValues();
  CompressionDialogState s = CompressionDialogState::FromOptions(o);
  ASSERT_EQ(s.compressors.size(), CodecRegistry().size());
  ASSERT_TRUE(s.current());
  EXPECT_EQ(s.current()->handler, kHandlerVideo1);
  EXPECT_EQ(s.qualityPercent, 100);
  EXPECT_TRUE(s.keyFramesOn);
  EXPECT_EQ(s.keyFrameEvery, 20);
  EXPECT_FALSE(s.dataRateOn);
  EXPECT_TRUE(s.QualityEnabled());
  EXPECT_TRUE(s.KeyFramesEnabled());
  EXPECT_TRUE(s.DataRateEnabled());
  EXPECT_FALSE(s.ConfigureEnabled());

  // Frames of 24 bits: every compressor but RLE.
  EXPECT_EQ(CompressorChoices(24).size(), CodecRegistry().size() - 1);

  s.SetQualityPercent(150);
  EXPECT_EQ(s.qualityPercent, 100);
  s.SetKeyFrameEvery(0);
  EXPECT_EQ(s.keyFrameEvery, 1);
  s.dataRateOn = true;
  s.SetDataRateKBps(200);
  s.SetQualityPercent(60);
  o.parms = {9, 9};
  s.ApplyTo(o);
  EXPECT_EQ(o.dwQuality, 6000u);
  EXPECT_EQ(o.dwBytesPerSecond, 200u * 1024);
  EXPECT_EQ(o.dwFlags, AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE);
  EXPECT_EQ(o.parms, (std::vector<uint8_t>{9, 9}));  // same compressor keeps its state

  // Full frames: no quality, key frames or data rate; the old state goes.
  for (int i = 0; i < static_cast<int>(s.compressors.size()); ++i)
    if (s.compressors[i].handler == kHandlerFullFrames) s.Select(i);
  EXPECT_FALSE(s.QualityEnabled());
  EXPECT_FALSE(s.KeyFramesEnabled());
  s.Select(99);  // ignored
  EXPECT_EQ(s.current()->handler, kHandlerFullFrames);
  s.ApplyTo(o);
  EXPECT_EQ(o.fccHandler, kHandlerFullFrames);
  EXPECT_EQ(o.dwQuality, 6000u);
  EXPECT_TRUE(o.parms.empty());

  // Unknown compressors show as full frames; the compressor's default quality as 75.
  o.fccHandler = MakeFourCC('x', 'x', 'x', 'x');
  o.dwQuality = 0xFFFFFFFF;
  s = CompressionDialogState::FromOptions(o);
  EXPECT_EQ(s.current()->handler, kHandlerFullFrames);
  EXPECT_EQ(s.qualityPercent, 75);
}

TEST_F(CodecOptionsTest, TheDialogRefusesACompressorThatCannotTakeTheProjectsDepth) {
  CompressionDialogState s = CompressionDialogState::FromOptions(CodecOptionsStartValues());
  auto select = [&](FOURCC handler) {
    for (int i = 0; i < static_cast<int>(s.compressors.size()); ++i)
      if (s.compressors[i].handler == handler) s.Select(i);
    ASSERT_EQ(s.current()->handler, handler);
  };
  select(kHandlerRle);
  EXPECT_EQ(s.Refusal(), "") << "no project depth known";
  s.projectDepth = 24;
  EXPECT_EQ(s.Refusal(),
            "Run Length Encoding (RLE8) takes only 8-bit frames, not the project's 24-bit ones. "
            "Choose another compressor, or set the colour depth to 8 bits.");
  s.projectDepth = 4;  // what the builder makes of it: 8
  EXPECT_EQ(s.Refusal(), "");
  s.projectDepth = 16;
  select(MakeFourCC('H', '2', '6', '4'));
  EXPECT_EQ(s.Refusal(), "");

  // The command hands the project's depth to the dialog.
  int seen = -1;
  ChooseCodecOptions(
      [&](CompressionDialogState& state) {
        seen = state.projectDepth;
        return false;
      },
      16);
  EXPECT_EQ(seen, 16);
}

TEST_F(CodecOptionsTest, ChooseCommandAsksAndSaves) {
  const std::string saved = home.File("AVI.codec");
  // Cancel: nothing changes and nothing is asked.
  bool shown = false;
  EXPECT_FALSE(ChooseCodecOptions([&](CompressionDialogState& s) {
    shown = true;
    EXPECT_TRUE(std::filesystem::exists(home.File("ZQTemp.AVI.part")));
    s.SetQualityPercent(10);
    return false;
  }));
  EXPECT_TRUE(shown);
  EXPECT_EQ(CodecOptions().dwQuality, 10000u);
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_FALSE(std::filesystem::exists(home.File("ZQTemp.AVI")));
  EXPECT_FALSE(std::filesystem::exists(home.File("ZQTemp.AVI.part")));

  // OK, then No: the options hold for the run but are not saved.
  prompts.answers = {false};
  EXPECT_TRUE(ChooseCodecOptions([](CompressionDialogState& s) {
    s.SetQualityPercent(50);
    return true;
  }));
  EXPECT_EQ(CodecOptions().dwQuality, 5000u);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0], "Would you like to set the current options as default?");
  EXPECT_FALSE(std::filesystem::exists(saved));

  // OK, then Yes: saved, with the message.
  prompts.answers = {true};
  EXPECT_TRUE(ChooseCodecOptions([](CompressionDialogState&) { return true; }));
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_TRUE(prompts.HasMessage(
      "Options saved to AVI.codec file. If you uninstall the codec, please delete AVI.codec "
      "before running Quendrolix."));
  AVICOMPRESSOPTIONS back;
  ASSERT_TRUE(LoadCodecOptions(saved, back));
  EXPECT_EQ(back.dwQuality, 5000u);
  EXPECT_FALSE(std::filesystem::exists(home.File("ZQTemp.AVI")));
}

TEST(AviErrorTextTest, MapsCodesToTheirStrings) {
  EXPECT_EQ(AviErrorText(1), 61206);
  EXPECT_EQ(AviErrorText(2), 61207);
  EXPECT_EQ(AviErrorText(AVIERR_BADFORMAT), 61208);
  EXPECT_EQ(AviErrorText(AVIERR_FILEOPEN), 61211);
  EXPECT_EQ(AviErrorText(REGDB_E_CLASSNOTREG), 61212);
  EXPECT_EQ(AviErrorText(AVIERR_NOCOMPRESSOR), 61221);
  EXPECT_EQ(AviErrorText(AVIERR_USERABORT), 61226);
  EXPECT_EQ(AviErrorText(0), 61227);
  EXPECT_EQ(AviErrorText(AVIERR_ERROR), 61227);
  EXPECT_EQ(AviErrorString(61219), "A disk error occured while writing the file");
  EXPECT_EQ(AviErrorString(1), "");
  EXPECT_EQ(CodecErrorMessage(0), "Codec error (0): Generic AVI error");
  EXPECT_EQ(CodecErrorMessage(AVIERR_CANTCOMPRESS),
            "Codec error (-2147205003): Failed to compress the data");
}

TEST(CodecCliTest, ListsAndSetsTheDefaultOptions) {
  TempDir home;
  CommandResult r = RunCli({"--home", home.path().string(), "codec", "--list"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.output.find("msvc  MS Video 1"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("DIB   Full Frames"), std::string::npos);
  EXPECT_NE(r.output.find("mrle"), std::string::npos);
  EXPECT_NE(r.output.find("MJPG"), std::string::npos);

  // "DIB" is padded to 'DIB '; --yes is not needed: the command answers Yes itself.
  r = RunCli({"--home", home.path().string(), "codec", "--set", "DIB"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.errors.find("Options saved to AVI.codec file."), std::string::npos);
  const std::string file = (home.path() / "AVI.codec").string();
  EXPECT_EQ(ReadBytes(file), Concat({{'v', 'i', 'd', 's', 'D', 'I', 'B', ' '},
                                     U32(20),
                                     U32(10000),
                                     U32(0),
                                     U32(12),
                                     U32(0),
                                     U32(0)}));

  r = RunCli({"--home", home.path().string(), "codec", "--set", "msvc", "--quality", "7500",
              "--keyframes", "0", "--datarate", "150"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(ReadBytes(file), Concat({{'v', 'i', 'd', 's', 'm', 's', 'v', 'c'},
                                     U32(20),
                                     U32(7500),
                                     U32(150 * 1024),
                                     U32(AVICOMPRESSF_VALID | AVICOMPRESSF_DATARATE),
                                     U32(0),
                                     U32(0)}));

  const Bytes before = ReadBytes(file);
  r = RunCli({"--home", home.path().string(), "codec", "--set", "IV50"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.errors.find("unknown compressor 'IV50'"), std::string::npos);
  r = RunCli({"--home", home.path().string(), "codec", "--set", "msvc", "--quality", "20000"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(ReadBytes(file), before);
}

TEST(CodecCliTest, ListsTheLibraryCompressorsAndRefusesWhatTheProjectCannotUse) {
  TempDir home;
  CommandResult r = RunCli({"--home", home.path().string(), "codec", "--list"});
  ASSERT_EQ(r.status, 0) << r.errors;
  for (const char* line : {"XVID  MPEG-4 ASP (XVID)", "H264  H.264 (x264)", "FFV1  FFV1 (lossless)",
                           "HFYU  HuffYUV (lossless)", "cvid  Cinepak"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  r = RunCli({"codec", "--help"});
  EXPECT_NE(r.output.find("H264  the constant rate factor, from 51 at 0 down to 18 at 10000"),
            std::string::npos)
      << r.output;

  // RLE takes 8-bit frames only: refused for the default depth of 24 bits, for a project
  // of 16 bits, and taken for 8 bits; nothing is saved when it is refused.
  const std::string file = (home.path() / "AVI.codec").string();
  r = RunCli({"--home", home.path().string(), "codec", "--set", "mrle"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("Run Length Encoding (RLE8) takes only 8-bit frames, not the "
                          "project's 24-bit ones."),
            std::string::npos)
      << r.errors;
  EXPECT_FALSE(std::filesystem::exists(file));
  r = RunCli({"--home", home.path().string(), "project", "new", home.File("p.qdx"), "--bpp", "16"});
  ASSERT_EQ(r.status, 0) << r.errors;
  r = RunCli(
      {"--home", home.path().string(), "codec", "--set", "mrle", "--project", home.File("p.qdx")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("not the project's 16-bit ones"), std::string::npos) << r.errors;
  r = RunCli({"--home", home.path().string(), "codec", "--set", "mrle", "--depth", "8"});
  EXPECT_EQ(r.status, 0) << r.errors;
  Bytes saved = ReadBytes(file);
  ASSERT_GE(saved.size(), 8u);
  EXPECT_EQ(std::string(saved.begin() + 4, saved.begin() + 8), "mrle");
  r = RunCli({"--home", home.path().string(), "codec", "--set", "H264", "--quality", "5000"});
  EXPECT_EQ(r.status, 0) << r.errors;
  saved = ReadBytes(file);
  ASSERT_GE(saved.size(), 8u);
  EXPECT_EQ(std::string(saved.begin() + 4, saved.begin() + 8), "H264");
  EXPECT_EQ(RunCli({"codec", "--set", "mrle", "--depth", "8", "--project", "p.qdx"}).status, 2);
}

}  // namespace
}  // namespace quendrolix
