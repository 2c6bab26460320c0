// The image processor and the editor's copies on real files: what is written where, and
// that no original is ever replaced.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/cbmp.h"
#include "image/edit/edited_copy.h"
#include "image/edit/image_processor.h"
#include "support/image_fixtures.h"

namespace quendrolix::edit {
namespace {

namespace fs = std::filesystem;
using testing::PatternBitmap;
using testing::ReadBytes;
using testing::RgbOf;
using testing::TempDir;
using testing::WriteText;

std::string SavePattern(const TempDir& dir, const std::string& name, int w, int h, int seed = 0) {
  std::string path = dir.File(name);
  fs::create_directories(fs::path(path).parent_path());
  CBmp picture;
  picture.Attach(PatternBitmap(w, h, seed));
  EXPECT_TRUE(picture.Save(path)) << path;
  return path;
}

TEST(EditedCopyTest, NamesBesideTheOriginalNeverTakeAnExistingFile) {
  TempDir dir;
  std::string original = SavePattern(dir, "sky.png", 4, 4);
  EXPECT_EQ(EditedCopyPath(original), dir.File("sky-edited.png"));
  WriteText(dir.File("sky-edited.png"), "taken");
  WriteText(dir.File("sky-edited-2.png"), "taken");
  EXPECT_EQ(EditedCopyPath(original), dir.File("sky-edited-3.png"));
  // A copy edited again: numbered beside it, never over it.
  EXPECT_EQ(EditedCopyPath(dir.File("sky-edited.png")), dir.File("sky-edited-3.png"));
  EXPECT_EQ(EditedCopyPath(dir.File("sky-edited-2.png")), dir.File("sky-edited-3.png"));
  EXPECT_EQ(EditedCopyPath(dir.File("half-edited-x.png")), dir.File("half-edited-x-edited.png"));
  // Formats the image layer cannot write get a PNG copy.
  EXPECT_EQ(EditedCopyPath(dir.File("anim.gif")), dir.File("anim-edited.png"));
  EXPECT_EQ(EditedCopyPath(dir.File("photo.JPG")), dir.File("photo-edited.JPG"));
  EXPECT_EQ(FreePathLike(dir.File("sky.png")), dir.File("sky-2.png"));
  EXPECT_EQ(FreePathLike(dir.File("free.png")), dir.File("free.png"));
}

TEST(EditedCopyTest, SavePictureWritesByExtensionAndKeepsWhatWasThere) {
  TempDir dir;
  HBITMAP pattern = PatternBitmap(7, 5, 2);
  for (const char* name : {"a.bmp", "a.png", "a.tif", "a.pcx"}) {
    std::string path = dir.File(name);
    ASSERT_TRUE(SavePicture(pattern, path)) << name;
    CBmp back;
    ASSERT_TRUE(back.Load(path)) << name;
    EXPECT_EQ(RgbOf(back), RgbOf(*pattern)) << name;  // lossless formats
  }
  std::string error;
  EXPECT_FALSE(SavePicture(pattern, dir.File("a.gif"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(dir.File("a.gif")));
  // A folder that does not exist: nothing written, the reason given.
  EXPECT_FALSE(SavePicture(pattern, dir.File("no/such/a.png"), &error));
  EXPECT_FALSE(SavePicture(nullptr, dir.File("b.png"), &error));
}

TEST(ImageProcessorTest, WritesOneCopyPerPictureIntoTheFolder) {
  TempDir dir;
  std::string a = SavePattern(dir, "in/a.png", 8, 6, 1);
  std::string b = SavePattern(dir, "in/b.bmp", 10, 4, 2);
  std::vector<uint8_t> aBytes = ReadBytes(a);
  ProcessorRequest request;
  request.pictures = {a, b, a};  // a repeat is done once
  request.operation.kind = EditKind::kRotate90;
  request.folder = dir.File("out");

  std::vector<std::string> told;
  auto results = ProcessPictures(request, [&](size_t i, size_t total, const std::string& p) {
    told.push_back(std::to_string(i) + "/" + std::to_string(total) +
                   (p.empty() ? "" : " " + fs::path(p).filename().string()));
  });
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(told, (std::vector<std::string>{"0/2 a.png", "1/2 b.bmp", "2/2"}));
  EXPECT_EQ(results[0].copy, dir.File("out/a.png"));
  EXPECT_EQ(results[1].copy, dir.File("out/b.bmp"));
  CBmp copy;
  ASSERT_TRUE(copy.Load(results[1].copy));
  int w = 0, h = 0;
  copy.GetSize(w, h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 10);
  EXPECT_EQ(RgbOf(copy), RgbOf(*Rotate(*PatternBitmap(10, 4, 2), 1)));
  EXPECT_EQ(ReadBytes(a), aBytes);  // the original is untouched

  // Again into the same folder: the first copies stay unless replacing was chosen.
  auto plan = PlanCopies(request);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_TRUE(plan[0].exists);
  results = ProcessPictures(request);
  EXPECT_EQ(results[0].copy, dir.File("out/a-2.png"));
  request.replaceExisting = true;
  results = ProcessPictures(request);
  EXPECT_EQ(results[0].copy, dir.File("out/a.png"));
}

TEST(ImageProcessorTest, NeverReplacesAnOriginalAndReportsEachFailure) {
  TempDir dir;
  std::string a = SavePattern(dir, "a.png", 8, 6);
  std::string other = SavePattern(dir, "sub/a.png", 3, 3);
  WriteText(dir.File("notes.bmp"), "not a picture");
  std::vector<uint8_t> aBytes = ReadBytes(a);
  ProcessorRequest request;
  // Into the pictures' own folder, with replacing on: the copies go beside them.
  request.pictures = {a, other, dir.File("notes.bmp"), dir.File("missing.png")};
  request.operation.kind = EditKind::kGreyscale;
  request.folder = dir.path().string();
  request.replaceExisting = true;
  for (const PlannedCopy& planned : PlanCopies(request)) EXPECT_FALSE(planned.exists);
  auto results = ProcessPictures(request);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].copy, dir.File("a-edited.png"));
  // The second a.png may not take the first one's copy either.
  EXPECT_EQ(results[1].copy, dir.File("a-edited-2.png"));
  EXPECT_TRUE(results[2].copy.empty());
  EXPECT_FALSE(results[2].error.empty());
  EXPECT_TRUE(results[3].copy.empty());
  EXPECT_FALSE(results[3].error.empty());
  EXPECT_EQ(ReadBytes(a), aBytes);

  // An operation that cannot apply names itself.
  request.pictures = {a};
  request.operation = EditOperation{EditKind::kCrop};
  request.operation.area = {100, 100, 5, 5};
  request.folder = dir.File("crops");
  results = ProcessPictures(request);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_NE(results[0].error.find("Crop"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir.File("crops")));
}

}  // namespace
}  // namespace quendrolix::edit
