#include "project/output_format.h"

#include <cctype>
#include <cstdlib>

namespace quendrolix {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

constexpr const char* kPictureFitNames[] = {"letterbox", "crop", "stretch", "none"};
constexpr const char* kSoundFitNames[] = {"trim", "fit", "keep"};

template <typename Enum, size_t N>
bool ParseName(const std::string& text, const char* const (&names)[N], Enum& out) {
  const std::string lowered = Lower(text);
  for (size_t i = 0; i < N; ++i) {
    if (lowered == names[i]) {
      out = static_cast<Enum>(i);
      return true;
    }
  }
  return false;
}

bool ParseDimension(const std::string& text, int& out) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const int value = std::atoi(text.c_str());
  if (value < 1 || value > 16384) return false;
  out = value;
  return true;
}

}  // namespace

const char* PictureFitName(PictureFit fit) {
  return kPictureFitNames[static_cast<int>(fit)];
}

bool ParsePictureFit(const std::string& text, PictureFit& fit) {
  return ParseName(text, kPictureFitNames, fit);
}

const char* SoundFitName(SoundFit fit) {
  return kSoundFitNames[static_cast<int>(fit)];
}

bool ParseSoundFit(const std::string& text, SoundFit& fit) {
  return ParseName(text, kSoundFitNames, fit);
}

bool ParseFrameSize(const std::string& text, int& width, int& height) {
  const size_t x = Lower(text).find('x');
  if (x == std::string::npos) return false;
  int w = 0, h = 0;
  if (!ParseDimension(text.substr(0, x), w) || !ParseDimension(text.substr(x + 1), h)) return false;
  width = w;
  height = h;
  return true;
}

}  // namespace quendrolix
