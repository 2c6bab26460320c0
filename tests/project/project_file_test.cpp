#include "project/project_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/user_prompts.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::RunCli;
using testing::TempDir;

struct Project {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};

  std::string Listing() const { return DescribeProject(doc); }
};

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// A file as an older program wrote it.
std::string OldFile(int16_t version, bool withSound, int32_t count) {
  ArchiveWriter out;
  out.WriteString("QDXC");
  out.WriteInt16(version);
  if (withSound) out.WriteString("/s/new.wav");
  out.WriteInt32(count);
  out.WriteInt16(12);
  out.WriteInt16(8);
  for (int32_t i = 0; i < count; ++i) {
    out.WriteString("p" + std::to_string(i) + ".bmp");
    out.WriteString("/old/p" + std::to_string(i) + ".bmp");
    if (version >= 30) out.WriteInt32(i);
  }
  return out.bytes();
}

TEST(ArchiveStrings, LengthFormsAtTheirBoundaries) {
  for (size_t n : {0u, 254u, 255u, 65533u, 65534u, 70000u}) {
    ArchiveWriter out;
    out.WriteString(std::string(n, 'q'));
    const std::string& bytes = out.bytes();
    size_t prefix = n < 255 ? 1 : n < 65534 ? 3 : 7;
    ASSERT_EQ(bytes.size(), prefix + n) << n;
    if (prefix > 1) {
      EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
    }
    if (prefix == 7) {
      EXPECT_EQ(bytes.substr(1, 2), Bytes({0xFF, 0xFF}));
    }
    ArchiveReader in(bytes);
    EXPECT_EQ(in.ReadString().size(), n);
    EXPECT_EQ(in.remaining(), 0u);
  }
  // The wide form: 0xFF 0xFFFE, then a count of UTF-16 units.
  // (The reader reads the caller's bytes in place: they must outlive it.)
  const std::string wideBytes = Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 0xE9, 0, 0xAC, 0x20});
  ArchiveReader wide(wideBytes);
  EXPECT_EQ(wide.ReadString(), "a\xC3\xA9\xE2\x82\xAC");
  // Lengths that claim more than there is.
  const std::string cutBytes = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'x'});
  ArchiveReader cut(cutBytes);
  EXPECT_THROW(cut.ReadString(), ArchivePastEnd);
  const std::string cutWideBytes = Bytes({0xFF, 0xFE, 0xFF, 5, 'a', 0});
  ArchiveReader cutWide(cutWideBytes);
  EXPECT_THROW(cutWide.ReadString(), ArchivePastEnd);
}

TEST(ProjectFile, RoundTripsRowsCountsAndOddCells) {
  Project p;
  p.doc.framesPerSecond = 15;
  p.doc.bitsPerPixel = 16;
  p.doc.AttachSound("/s/a.wav");
  p.doc.ImportImages({"/x/a.bmp", "/x/b.bmp"});
  p.list.SetCell(1, 1, "abc");  // written as 0, read back as the default
  p.list.SetCell(2, 1, "9");
  p.doc.AddImage("lost.bmp", -1, 4);  // no path in the table: written empty
  std::string bytes = WriteProject(p.doc);

  Project q;
  q.store.Parse("[General]\nReplicate=3\n");
  ASSERT_EQ(ReadProject(q.doc, bytes, "x.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(
      q.Listing(),
      "fps: 15\nbpp: 16\nsound: /s/a.wav\nsize: first picture\nfit: letterbox\nsound fit: trim\n"
      "1\ta.bmp\t3\t/x/a.bmp\n2\tb.bmp\t9\t/x/b.bmp\n3\tlost.bmp\t4\t\n");
  EXPECT_EQ(q.list.FocusRow(), 1);  // refreshed
  EXPECT_TRUE(q.prompts.messages.empty());

  Project empty;
  empty.doc.framesPerSecond = 7;
  empty.doc.AttachSound("/s/only.wav");
  Project back;
  back.doc.ImportImages({"/old/row.bmp"});
  ASSERT_EQ(ReadProject(back.doc, WriteProject(empty.doc), "e.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(back.Listing(),
            "fps: 7\nbpp: 24\nsound: /s/only.wav\nsize: first picture\nfit: letterbox\nsound fit: "
            "trim\n");
  EXPECT_EQ(back.doc.LookUpPath("row.bmp"), "/old/row.bmp");  // the table is never emptied
}

TEST(ProjectFile, OlderVersionsAndRefusedFiles) {
  Project v25;
  ASSERT_EQ(ReadProject(v25.doc, OldFile(25, true, 2), "v25.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(v25.Listing(),
            "fps: 12\nbpp: 8\nsound: /s/new.wav\nsize: first picture\nfit: letterbox\nsound fit: "
            "trim\n1\tp0.bmp\t1\t/old/p0.bmp\n"
            "2\tp1.bmp\t1\t/old/p1.bmp\n");

  Project v19;
  v19.doc.AttachSound("/s/before.wav");
  ASSERT_EQ(ReadProject(v19.doc, OldFile(19, false, 1), "v19.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(v19.doc.soundFile(), "/s/before.wav");
  EXPECT_EQ(v19.list.EntryCount(), 1);

  // A refused file leaves the project as it was: rows, sound, rate.
  Project v41;
  v41.doc.ImportImages({"/x/a.bmp"});
  v41.doc.AttachSound("/s/kept.wav");
  v41.doc.framesPerSecond = 5;
  const std::string before = v41.Listing();
  EXPECT_EQ(ReadProject(v41.doc, OldFile(41, true, 1), "v41.qdx"),
            ProjectReadStatus::kUnsupportedVersion);
  EXPECT_EQ(v41.prompts.messages, std::vector<std::string>{"Unsupported file version"});
  EXPECT_EQ(v41.Listing(), before);

  Project magic;
  std::string bytes = OldFile(30, true, 1);
  bytes[4] = 'c';  // "QDXc": the magic is case-sensitive
  EXPECT_EQ(ReadProject(magic.doc, bytes, "m.qdx"), ProjectReadStatus::kUnknownFormat);
  EXPECT_EQ(magic.prompts.messages, std::vector<std::string>{"Unknown file format"});
  EXPECT_EQ(magic.list.EntryCount(), 0);
}

TEST(ProjectFile, OutputFormatAndSoundFitRoundTrip) {
  Project p;
  p.doc.output = OutputFormat{1920, 1080, PictureFit::kCrop};
  p.doc.soundFit = SoundFit::kKeep;
  p.doc.ImportImages({"/x/a.bmp"});
  const std::string bytes = WriteProject(p.doc);
  Project q;
  ASSERT_EQ(ReadProject(q.doc, bytes, "o.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(q.doc.output, (OutputFormat{1920, 1080, PictureFit::kCrop}));
  EXPECT_EQ(q.doc.soundFit, SoundFit::kKeep);
  EXPECT_NE(q.Listing().find("size: 1920x1080\nfit: crop\nsound fit: keep\n"), std::string::npos);

  // An older file gives the defaults, whatever the document held before.
  Project old;
  old.doc.output = OutputFormat{64, 48, PictureFit::kNone};
  old.doc.soundFit = SoundFit::kFit;
  ASSERT_EQ(ReadProject(old.doc, OldFile(30, true, 1), "v30.qdx"), ProjectReadStatus::kOk);
  EXPECT_EQ(old.doc.output, OutputFormat{});
  EXPECT_EQ(old.doc.soundFit, SoundFit::kTrim);

  // Names are checked; sizes out of range read as the first picture's size.
  PictureFit fit = PictureFit::kNone;
  EXPECT_TRUE(ParsePictureFit("Letterbox", fit));
  EXPECT_EQ(fit, PictureFit::kLetterbox);
  EXPECT_FALSE(ParsePictureFit("zoom", fit));
  SoundFit sound = SoundFit::kTrim;
  EXPECT_TRUE(ParseSoundFit("fit", sound));
  EXPECT_EQ(sound, SoundFit::kFit);
  int w = 0, h = 0;
  EXPECT_TRUE(ParseFrameSize("720X576", w, h));
  EXPECT_EQ(w, 720);
  EXPECT_EQ(h, 576);
  for (const char* bad : {"720", "0x576", "720x", "x576", "-1x5", "20000x10", "7a0x576"})
    EXPECT_FALSE(ParseFrameSize(bad, w, h)) << bad;
}

TEST(ProjectFile, ATruncatedFileLeavesTheProjectAsItWas) {
  std::string whole = OldFile(30, true, 3);
  Project p;
  p.doc.ImportImages({"/x/mine.bmp"});
  // Cut inside the third entry's path.
  ASSERT_EQ(ReadProject(p.doc, whole.substr(0, whole.size() - 6), "/d/cut.qdx"),
            ProjectReadStatus::kPastEnd);
  EXPECT_EQ(p.prompts.messages,
            std::vector<std::string>{"An attempt was made to access /d/cut.qdx past its end."});
  EXPECT_EQ(p.list.EntryCount(), 1);
  EXPECT_EQ(p.list.Cell(1, FrameList::kNameColumn), "mine.bmp");
  // Every shorter prefix is refused without a crash, and never reads as complete.
  for (size_t n = 0; n < whole.size(); ++n) {
    Project q;
    EXPECT_NE(ReadProject(q.doc, whole.substr(0, n), "c.qdx"), ProjectReadStatus::kOk) << n;
  }
  // A count far beyond the bytes stops at the end of the bytes.
  Project huge;
  std::string lying = OldFile(30, false, 0);
  lying[8] = 0x7F;
  EXPECT_EQ(ReadProject(huge.doc, lying, "h.qdx"), ProjectReadStatus::kPastEnd);
}

TEST(ProjectFileCli, WritesTheDocumentedBytesAndShowsThemBack) {
  TempDir dir;
  std::string a = dir.File("a.bmp"), b = dir.File("b.bmp");
  testing::WriteText(a, "BM");
  testing::WriteText(b, "BM");
  std::string qdx = dir.File("two.qdx");
  auto made = RunCli({"--home", dir.File("home"), "project", "new", qdx, "--fps", "10", "--bpp",
                      "24", a + ",1", b + ",3"});
  ASSERT_EQ(made.status, 0) << made.errors;

  auto entry = [](const std::string& name, const std::string& path, int count) {
    return static_cast<char>(name.size()) + name + static_cast<char>(path.size()) + path +
           Bytes({count, 0, 0, 0});
  };
  std::string expected = Bytes({0x04, 'Q', 'D', 'X', 'C', 0x28, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                0x0A, 0x00, 0x18, 0x00}) +
                         entry("a.bmp", a, 1) + entry("b.bmp", b, 3) +
                         Bytes({0, 0, 0, 0, 0, 0, 0, 0, 9}) + "letterbox" + Bytes({4}) + "trim";
  auto bytes = testing::ReadBytes(qdx);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);

  auto shown = RunCli({"--home", dir.File("home"), "project", "show", qdx});
  EXPECT_EQ(shown.status, 0) << shown.errors;
  EXPECT_EQ(shown.output,
            "fps: 10\nbpp: 24\nsound: \nsize: first picture\nfit: letterbox\nsound fit: "
            "trim\n1\ta.bmp\t1\t" +
                a + "\n2\tb.bmp\t3\t" + b + "\n");

  testing::WriteBytes(dir.File("cut.qdx"), {bytes.begin(), bytes.begin() + 20});
  auto cut = RunCli({"--home", dir.File("home"), "project", "show", dir.File("cut.qdx")});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.errors.find("past its end"), std::string::npos);
  EXPECT_EQ(RunCli({"project", "new", qdx, "--bpp", "12", a}).status, 2);
  EXPECT_EQ(RunCli({"project", "new", qdx, dir.File("none.bmp")}).status, 1);
}

// Entries split at the last comma only before a whole number, so names with commas stay
// whole; --size and --fit are stored and shown; bad values are bad usage.
TEST(ProjectFileCli, EntriesWithCommasAndTheOutputFrame) {
  TempDir dir;
  const std::string beach = dir.File("Beach, Nice.bmp"), odd = dir.File("odd,x.bmp");
  const std::string numbered = dir.File("Shot,12.bmp");
  for (const std::string& path : {beach, odd, numbered}) testing::WriteText(path, "BM");
  const std::string qdx = dir.File("commas.qdx");
  auto made = RunCli({"--home", dir.File("home"), "project", "new", qdx, "--size", "1280X720",
                      "--fit", "Crop", beach, beach + ",4", odd, numbered + ",7"});
  ASSERT_EQ(made.status, 0) << made.errors;
  auto shown = RunCli({"--home", dir.File("home"), "project", "show", qdx});
  ASSERT_EQ(shown.status, 0) << shown.errors;
  EXPECT_EQ(shown.output,
            "fps: 10\nbpp: 24\nsound: \nsize: 1280x720\nfit: crop\nsound fit: trim\n"
            "1\tBeach, Nice.bmp\t1\t" +
                beach + "\n2\tBeach, Nice.bmp\t4\t" + beach + "\n3\todd,x.bmp\t1\t" + odd +
                "\n4\tShot,12.bmp\t7\t" + numbered + "\n");
  // "Shot,12.bmp" alone has no count after its last comma; "Shot" is not a file.
  EXPECT_EQ(RunCli({"project", "new", qdx, dir.File("Shot") + ",12"}).status, 1);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--size", "1280"},
                                              {"--size", "0x10"},
                                              {"--size", "20000x10"},
                                              {"--fit", "zoom"},
                                              {"--fit"}})
    EXPECT_EQ(RunCli({"--home", dir.File("home"), "project", "new", qdx, bad[0],
                      bad.size() > 1 ? bad[1] : std::string(), beach})
                  .status,
              2)
        << bad[0];
}

// A save that cannot be completed (here the file-size limit of the process) must leave
// the previous project file whole, with no temporary file beside it.
TEST(ProjectFileCli, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  std::string qdx = dir.File("p.qdx");
  std::string image = dir.File(std::string(200, 'i') + ".bmp");
  testing::WriteText(image, "BM");
  ASSERT_EQ(RunCli({"--home", dir.File("home"), "project", "new", qdx, image}).status, 0);
  auto old = testing::ReadBytes(qdx);

  std::string cli = testing::ShellQuote(QUENDROLIX_CLI);
  std::string command = "trap '' XFSZ; ulimit -f 1; " + cli + " --home " +
                        testing::ShellQuote(dir.File("home")) + " project new " +
                        testing::ShellQuote(qdx);
  for (int i = 0; i < 5; ++i) command += " " + testing::ShellQuote(image);
  auto result = testing::RunCommand(command);
  EXPECT_EQ(result.status, 1) << result.errors;
  EXPECT_EQ(testing::ReadBytes(qdx), old);
  for (const auto& file : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(file.path().filename().string().find(".new"), std::string::npos) << file.path();
}

}  // namespace
}  // namespace quendrolix
