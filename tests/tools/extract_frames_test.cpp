// Extraction of AVI frames, TIFF pages and AVI sound; the extraction dialog's rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/dib_functions.h"
#include "image/image_io.h"
#include "tools/extract_dialog.h"
#include "tools/extract_frames.h"
#include "platform/host/user_prompts.h"
#include "support/image_fixtures.h"
#include "support/image_tools_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"
#include "tools/extract_sound.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

struct Project {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  MainFrameState frame;
  Project() { doc.initialised = true; }
};

TEST(ExtractAviFrames, WritesEachFrameAsABitmapFileOfTheFrameGettersBlock) {
  TempDir dir;
  const auto frames = WriteFramesAvi(dir.File("clip.avi"), 3, 13, 7, 0, 8);
  ASSERT_EQ(frames.size(), 3u);
  std::vector<std::string> names;
  ASSERT_EQ(ExtractAviFrames(dir.File("clip.avi"), dir.path().string(), 1, &names), 3);
  ASSERT_EQ(names, (std::vector<std::string>{dir.File("Img0001.bmp"), dir.File("Img0002.bmp"),
                                             dir.File("Img0003.bmp")}));
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> file = ReadBytes(names[i]);
    // 8-bit frames: 14 + 40 + 256 colours, rows of 16 bytes.
    const uint32_t pixelOffset = 14 + 40 + 1024, imageBytes = 16 * 7;
    ASSERT_EQ(file.size(), pixelOffset + imageBytes);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(&file[2]), file.size());
    EXPECT_EQ(Le32(&file[6]), 0u);
    EXPECT_EQ(Le32(&file[10]), pixelOffset);
    EXPECT_EQ(Le32(&file[14]), 40u);
    EXPECT_EQ(Le32(&file[14 + 20]), imageBytes);  // biSizeImage written
    HDIB dib = LoadDibFile(names[i]);
    ASSERT_TRUE(dib);
    EXPECT_EQ(DibToBgrTopDown(*dib), frames[i]) << names[i];
  }
}

TEST(ExtractAviFrames, NamesCarryTheStreamWhenTheFileHasSoundAndNumberOnFromStart) {
  TempDir dir;
  ASSERT_FALSE(WriteFramesAviWithSound(dir.File("talk.avi"), 2, 8, 8).empty());
  std::vector<std::string> names;
  EXPECT_EQ(ExtractAviFrames(dir.File("talk.avi"), dir.path().string() + "/", 7, &names), 2);
  EXPECT_EQ(names,
            (std::vector<std::string>{dir.File("Img02_0007.bmp"), dir.File("Img02_0008.bmp")}));
  EXPECT_EQ(AviFrameName(false, 1, 3), "Img03_0003.bmp");
  EXPECT_EQ(AviFrameName(false, 0, 3, {.digits = 6, .alwaysPlain = true}), "Img000003.bmp");
  // Not an AVI: nothing, and nothing said.
  WriteText(dir.File("bad.avi"), "not a movie");
  EXPECT_EQ(ExtractAviFrames(dir.File("bad.avi"), dir.path().string(), 1, &names), 0);
}

TEST(AviFrameBitmapFile, RefusesBlocksThatDoNotHoldWhatTheirHeaderSays) {
  HDIB dib = NewDib(4, 4, 24, 0);
  ASSERT_TRUE(dib);
  EXPECT_EQ(AviFrameBitmapFile(*dib).size(), 14u + 40 + 48);
  dib->header().biSize = 108;  // a later header form is not written
  EXPECT_TRUE(AviFrameBitmapFile(*dib).empty());
  dib->header().biSize = 40;
  dib->header().biHeight = 400;  // rows the block does not have
  EXPECT_TRUE(AviFrameBitmapFile(*dib).empty());
  dib->header().biHeight = 4;
  dib->header().biClrUsed = 0x40000000;  // a colour table beyond the block
  EXPECT_TRUE(AviFrameBitmapFile(*dib).empty());
}

TEST(ExtractTiffPages, WritesEveryPageAndStopsAtTheFirstFailedSave) {
  TempDir dir;
  const auto pages = WriteMultiPageTiff(dir.File("scan.tif"), 3, 9, 5);
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  std::vector<std::string> names;
  EXPECT_EQ(ExtractTiffPages(dir.File("scan.tif"), dir.path().string(), 0, &names), 3);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[2], dir.File("Img0002.bmp"));
  for (int p = 0; p < 3; ++p) {
    CBmp picture;
    ASSERT_TRUE(picture.Load(names[p]));
    EXPECT_EQ(RgbOf(picture), pages[p]);
  }
  EXPECT_TRUE(prompts.messages.empty());

  names.clear();
  const std::string missing = dir.File("nowhere");
  EXPECT_EQ(ExtractTiffPages(dir.File("scan.tif"), missing, 5, &names), 0);
  EXPECT_EQ(prompts.messages,
            (std::vector<std::string>{"Could not save " + missing + "/Img0005.bmp"}));
  EXPECT_TRUE(names.empty());
}

// The GUI test runs the dialog twice with "Just extract" and "Append"; here a new project.
TEST(ExtractImagesDialog, ANewAnimationHoldsOnlyTheExtractedFrames) {
  TempDir dir;
  WriteFramesAvi(dir.File("four.avi"), 4, 8, 6);
  Project p;
  p.doc.ImportImages({dir.File("four.avi")});
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  ExtractImagesDialog dialog = ExtractImagesDialog::Open(dir.File("four.avi"), p.store);
  EXPECT_EQ(dialog.folder, dir.path().string() + "/");  // UseDir missing: the source's folder
  dialog.disposition = ImageDisposition::kNewProject;
  dialog.startText = "3";
  EXPECT_EQ(dialog.DoIt(p.doc, p.frame, p.store).count, 4);
  EXPECT_EQ(dialog.startText, "7");
  ASSERT_EQ(p.list.EntryCount(), 4);
  EXPECT_EQ(p.list.Cell(1, FrameList::kNameColumn), "Img0003.bmp");
  EXPECT_EQ(p.doc.LookUpPath("Img0006.bmp"), dir.File("Img0006.bmp"));
  EXPECT_EQ(p.doc.title, "Untitled");
}

TEST(ExtractImagesDialog, RefusesWhatItCannotExtract) {
  TempDir dir;
  Project p;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);

  WriteText(dir.File("still.png"), "png");
  ExtractImagesDialog dialog = ExtractImagesDialog::Open(dir.File("still.png"), p.store);
  dialog.disposition = ImageDisposition::kNewProject;
  p.doc.ImportImages({dir.File("still.png")});
  EXPECT_EQ(dialog.DoIt(p.doc, p.frame, p.store).count, 0);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Unsupported format"});
  EXPECT_EQ(dialog.startText, "1");
  EXPECT_EQ(p.list.EntryCount(), 1);  // a run that wrote nothing keeps the project

  prompts.messages.clear();
  dialog.sourcePath = dir.File("gone.avi");
  EXPECT_EQ(dialog.DoIt(p.doc, p.frame, p.store).outcome,
            ExtractImagesDialog::Outcome::kSourceMissing);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{dir.File("gone.avi") + " not found"});
  dialog.sourcePath = "noextension";
  EXPECT_EQ(dialog.DoIt(p.doc, p.frame, p.store).outcome, ExtractImagesDialog::Outcome::kNothing);

  // A missing folder is made only when the user says OK (the GUI test says OK).
  WriteFramesAvi(dir.File("a.avi"), 2, 4, 4);
  dialog.sourcePath = dir.File("a.avi");
  dialog.folder = dir.File("new/deeper");
  prompts.answers = {false};
  EXPECT_EQ(dialog.DoIt(p.doc, p.frame, p.store).outcome, ExtractImagesDialog::Outcome::kCancelled);
  EXPECT_EQ(prompts.questions.back(), dir.File("new/deeper") + "/ does not exist. Create?");
  EXPECT_FALSE(fs::exists(dir.File("new")));
}

TEST(ExtractAviSound, WritesTheFirstSoundAsItIs) {
  TempDir dir;
  const std::vector<uint8_t> samples = WriteFramesAviWithSound(dir.File("talk.avi"), 3, 8, 8);
  ASSERT_FALSE(samples.empty());
  ASSERT_TRUE(ExtractAviSound(dir.File("talk.avi"), dir.File("out.wav")));
  const std::vector<uint8_t> wav = ReadBytes(dir.File("out.wav"));
  const std::string text(wav.begin(), wav.end());
  const size_t data = text.find("data");
  ASSERT_NE(data, std::string::npos);
  ASSERT_EQ(Le32(&wav[data + 4]), samples.size());
  ASSERT_GE(wav.size(), data + 8 + samples.size());
  EXPECT_EQ(std::vector<uint8_t>(wav.begin() + data + 8, wav.begin() + data + 8 + samples.size()),
            samples);

  WriteFramesAvi(dir.File("silent.avi"), 2, 8, 8);
  EXPECT_FALSE(ExtractAviSound(dir.File("silent.avi"), dir.File("none.wav")));
  EXPECT_FALSE(fs::exists(dir.File("none.wav")));
}

}  // namespace
}  // namespace quendrolix
