#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quendrolix::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Points the program folder at a fresh temporary folder for the test's lifetime.
class ScopedProgramFolder {
 public:
  ScopedProgramFolder();
  ~ScopedProgramFolder();
  const std::filesystem::path& path() const { return dir_.path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }

 private:
  TempDir dir_;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);

struct CommandResult {
  int status = -1;     // exit status, or -1 when the program could not be run
  std::string output;  // standard output
  std::string errors;  // standard error
};
// Runs a shell command line, capturing both outputs.
CommandResult RunCommand(const std::string& commandLine);
// Runs quendrolix-cli with the arguments (each quoted for the shell).
CommandResult RunCli(const std::vector<std::string>& args);
std::string ShellQuote(const std::string& text);

// The full path of a tool, or empty when it is not installed. ImageMagick is always
// /usr/bin/convert (an unrelated "convert" may come first on the PATH).
std::string FindTool(const std::string& name);
std::string ImageMagickConvert();

// Peak signal-to-noise ratio of two equally long 8-bit pictures in dB; 99 when they are
// equal, 0 when their sizes differ.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// Folders of the source tree and the build tree.
std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();

}  // namespace quendrolix::testing

// Skips the current test with a message when a peer tool is missing.
#define QUENDROLIX_REQUIRE_TOOL(path_var, name)                       \
  const std::string path_var = ::quendrolix::testing::FindTool(name); \
  if (path_var.empty()) GTEST_SKIP() << name << " is not installed"
