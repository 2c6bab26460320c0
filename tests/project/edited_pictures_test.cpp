// Edited copies taking their originals' places in the list, the picture check of import,
// and missing pictures.
#include <gtest/gtest.h>

#include "image/cbmp.h"
#include "platform/host/user_prompts.h"
#include "project/edited_pictures.h"
#include "support/image_fixtures.h"

namespace quendrolix {
namespace {

using testing::TempDir;
using testing::WriteText;

struct Project {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int r = 1; r <= list.EntryCount(); ++r)
      rows.push_back(list.Cell(r, 0) + ":" + list.Cell(r, 1));
    return rows;
  }
};

TEST(EditedPicturesTest, TheCopyTakesEveryRowOfItsOriginal) {
  Project p;
  p.doc.ImportImages({"/p/sky.jpg", "/p/sea.png", "/p/sky.jpg"});
  p.list.SetCell(3, 1, "4");
  p.list.SetFocusRow(2);
  EXPECT_EQ(UseEditedCopy(p.doc, "/p/sky.jpg", "/p/sky-edited.jpg"), 2);
  EXPECT_EQ(p.Rows(),
            (std::vector<std::string>{"sky-edited.jpg:1", "sea.png:1", "sky-edited.jpg:4"}));
  EXPECT_EQ(p.doc.LookUpPath("sky-edited.jpg"), "/p/sky-edited.jpg");
  EXPECT_EQ(p.doc.LookUpPath("sky.jpg"), "/p/sky.jpg");  // the table keeps its entries
  EXPECT_EQ(p.list.FocusRow(), 2);
  // A copy of the same name in another folder: the name stays, the path moves.
  EXPECT_EQ(UseEditedCopy(p.doc, "/p/sea.png", "/out/sea.png"), 1);
  EXPECT_EQ(p.list.Cell(2, 0), "sea.png");
  EXPECT_EQ(p.doc.LookUpPath("sea.png"), "/out/sea.png");
  // Nothing shows that picture: nothing changes.
  EXPECT_EQ(UseEditedCopy(p.doc, "/p/none.png", "/p/none-edited.png"), 0);
  EXPECT_EQ(p.doc.LookUpPath("none-edited.png"), "");
}

TEST(EditedPicturesTest, ImportCheckDecodesEachFile) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(4, 3));
  ASSERT_TRUE(picture.Save(dir.File("real.png")));
  WriteText(dir.File("fake.jpg"), "this is text");
  WriteText(dir.File("empty.bmp"), "");
  std::vector<std::string> paths = {dir.File("fake.jpg"), dir.File("real.png"),
                                    dir.File("missing.gif"), dir.File("empty.bmp"),
                                    dir.path().string()};
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  PictureCheck check = CheckPictures(paths);
  EXPECT_TRUE(prompts.messages.empty());  // the decoders say nothing; the caller words it
  EXPECT_EQ(check.pictures, std::vector<std::string>{dir.File("real.png")});
  EXPECT_EQ(check.refused, (std::vector<std::string>{dir.File("fake.jpg"), dir.File("missing.gif"),
                                                     dir.File("empty.bmp"), dir.path().string()}));
}

TEST(EditedPicturesTest, OneMessageListsTheRefusedFiles) {
  EXPECT_EQ(RefusedPicturesMessage({}), "");
  std::string one = RefusedPicturesMessage({"/a/notes.txt"});
  EXPECT_NE(one.find("This file is not a picture"), std::string::npos);
  EXPECT_NE(one.find("\n/a/notes.txt"), std::string::npos);
  std::vector<std::string> many;
  for (int i = 0; i < 20; ++i) many.push_back("/a/f" + std::to_string(i) + ".bmp");
  std::string text = RefusedPicturesMessage(many);
  EXPECT_NE(text.find("These files are not pictures"), std::string::npos);
  EXPECT_NE(text.find("/a/f14.bmp"), std::string::npos);
  EXPECT_EQ(text.find("/a/f15.bmp"), std::string::npos);
  EXPECT_NE(text.find("... and 5 more"), std::string::npos);
}

TEST(EditedPicturesTest, MissingPicturesAreFoundByRow) {
  TempDir dir;
  WriteText(dir.File("here.bmp"), "x");
  Project p;
  p.doc.ImportImages({dir.File("here.bmp"), dir.File("gone.bmp")});
  p.doc.AddImage("unknown.png", -1, 1);  // a name the table has no path for
  EXPECT_EQ(MissingPictureRows(p.doc), (std::vector<int>{2, 3}));
}

}  // namespace
}  // namespace quendrolix
