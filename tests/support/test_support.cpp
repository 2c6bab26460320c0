#include "support/test_support.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/host/program_folder.h"

namespace quendrolix::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quendrolix-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ScopedProgramFolder::ScopedProgramFolder() {
  ProgramFolder::SetOverride(dir_.path());
}
ScopedProgramFolder::~ScopedProgramFolder() {
  ProgramFolder::SetOverride({});
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

CommandResult RunCommand(const std::string& commandLine) {
  TempDir scratch;
  std::string out = scratch.File("out"), err = scratch.File("err");
  std::string full = "( " + commandLine + " ) >" + ShellQuote(out) + " 2>" + ShellQuote(err);
  int raw = std::system(full.c_str());
  CommandResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.output = ReadText(out);
  result.errors = ReadText(err);
  return result;
}

CommandResult RunCli(const std::vector<std::string>& args) {
  std::string line = ShellQuote(QUENDROLIX_CLI);
  for (const auto& a : args) line += " " + ShellQuote(a);
  return RunCommand(line + " </dev/null");
}

std::string FindTool(const std::string& name) {
  if (name == "convert") return ImageMagickConvert();
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    fs::path candidate = fs::path(dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

std::string ImageMagickConvert() {
  return ::access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "";
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

fs::path SourceDir() {
  return QUENDROLIX_SOURCE_DIR;
}
fs::path BinaryDir() {
  return QUENDROLIX_BINARY_DIR;
}

}  // namespace quendrolix::testing
