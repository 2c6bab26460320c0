// The manual that comes with the program: every link and picture of every page leads to a
// file that is there, every page has a title, and every page can be reached from the
// contents page.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "support/test_support.h"

namespace quendrolix {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::SourceDir;

fs::path ManualFolder() {
  return SourceDir() / "app" / "help";
}

// href and src values of a page's tags (examples written as text in the page do not count).
std::vector<std::string> References(const std::string& html) {
  static const std::regex kTag("<[^>]+>");
  static const std::regex kReference(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
  std::vector<std::string> found;
  for (auto tag = std::sregex_iterator(html.begin(), html.end(), kTag);
       tag != std::sregex_iterator(); ++tag) {
    const std::string text = tag->str();
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kReference);
         it != std::sregex_iterator(); ++it)
      found.push_back((*it)[1].str());
  }
  return found;
}

bool IsExternal(const std::string& reference) {
  return reference.rfind("http://", 0) == 0 || reference.rfind("https://", 0) == 0 ||
         reference.rfind("mailto:", 0) == 0;
}

std::vector<fs::path> Pages() {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(ManualFolder()))
    if (entry.is_regular_file() && entry.path().extension() == ".htm")
      pages.push_back(entry.path());
  return pages;
}

// Files a build makes into the manual beside the copied pages.
const std::set<std::string> kMadeByTheBuild = {
    "Tutorials/web_example/balls.gif", "Tutorials/web_example/balls.mp4",
    "Tutorials/web_example/balls.mpg", "Tutorials/web_example/balls-from-mpg.mp4"};

TEST(ManualTest, EveryLinkAndPictureLeadsToAFile) {
  std::vector<fs::path> pages = Pages();
  ASSERT_GE(pages.size(), 20u);
  std::vector<std::string> broken;
  for (const fs::path& page : pages) {
    for (std::string reference : References(ReadText(page))) {
      if (IsExternal(reference)) continue;
      reference = reference.substr(0, reference.find('#'));
      if (reference.empty()) continue;
      fs::path target = (page.parent_path() / reference).lexically_normal();
      std::string relative = fs::relative(target, ManualFolder()).generic_string();
      if (relative.rfind("..", 0) == 0)
        broken.push_back(page.filename().string() + " leaves the manual: " + reference);
      else if (!fs::is_regular_file(target) && !kMadeByTheBuild.count(relative))
        broken.push_back(fs::relative(page, ManualFolder()).generic_string() + " -> " + reference);
    }
  }
  EXPECT_TRUE(broken.empty()) << [&] {
    std::string all;
    for (const auto& b : broken) all += b + "\n";
    return all;
  }();
}

TEST(ManualTest, PagesHaveTitlesAndAreReachableFromTheContents) {
  std::map<std::string, std::vector<std::string>> links;  // page -> pages it links to
  for (const fs::path& page : Pages()) {
    std::string html = ReadText(page);
    std::string name = fs::relative(page, ManualFolder()).generic_string();
    std::smatch title;
    ASSERT_TRUE(std::regex_search(html, title, std::regex("<title>([^<]+)</title>"))) << name;
    EXPECT_NE(html.find("<h1>"), std::string::npos) << name;
    for (std::string reference : References(html)) {
      reference = reference.substr(0, reference.find('#'));
      if (reference.size() < 4 || reference.substr(reference.size() - 4) != ".htm") continue;
      links[name].push_back(
          fs::relative((page.parent_path() / reference).lexically_normal(), ManualFolder())
              .generic_string());
    }
    links.try_emplace(name);
  }
  std::set<std::string> reached = {"index.htm"};
  std::vector<std::string> queue = {"index.htm"};
  while (!queue.empty()) {
    std::string page = queue.back();
    queue.pop_back();
    for (const std::string& next : links[page])
      if (reached.insert(next).second) queue.push_back(next);
  }
  for (const auto& [page, _] : links) EXPECT_TRUE(reached.count(page)) << page << " is not linked";
}

}  // namespace
}  // namespace quendrolix
