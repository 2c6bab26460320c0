#include "mpeg/options/mpg_output_options.h"

#include <cstdint>

#include "mpeg/audio/audio_tables.h"
#include "project/settings_store.h"

namespace quendrolix {
namespace {

bool InList(int position, size_t size) {
  return position >= 0 && static_cast<size_t>(position) < size;
}

}  // namespace

MpgOutputOptions MpgOutputOptions::FromStore(const SettingsStore& store) {
  MpgOutputOptions options;
  int16_t value = 0;
  if (store.GetInteger(kSection, kLayerKey, value)) options.layerChoice = value;
  if (store.GetInteger(kSection, kBitrateKey, value)) options.bitRateIndex = value;
  if (store.GetInteger(kSection, kFpsKey, value)) options.frameRateIndex = value;
  std::string rate;
  // A value that is no rate (edited by hand) is as good as automatic.
  if (store.GetString(kSection, kVideoBitrateKey, rate) && !options.SetVideoRateText(rate))
    options.videoRateKbps = 0;
  return options;
}

const std::vector<std::string>& MpgOutputOptions::FrameRateList() {
  static const std::vector<std::string> list = {"10", "12",    "15", "23.976",        "24",
                                                "25", "29.97", "30", "as the project"};
  return list;
}

const std::vector<std::string>& MpgOutputOptions::BitRateList(int layerChoice) {
  // Bit-rate indexes 1 to 14 of the layer's table (0 is the free format).
  auto list = [](const auto& table) {
    std::vector<std::string> rates;
    for (size_t i = 1; i < table.size(); ++i) rates.push_back(std::to_string(table[i]));
    return rates;
  };
  static const std::vector<std::string> layer1 = list(mp2::kLayer1BitRates);
  static const std::vector<std::string> layer2 = list(mp2::kLayer2BitRates);
  return layerChoice == 0 ? layer1 : layer2;
}

void MpgOutputOptions::ChooseLayer(int radioValue) {
  if (radioValue == 0 || radioValue == 1) layerChoice = radioValue;
}

std::string MpgOutputOptions::VideoRateText() const {
  return videoRateKbps > 0 ? std::to_string(videoRateKbps) : "automatic";
}

bool MpgOutputOptions::SetVideoRateText(const std::string& text) {
  if (text == "automatic" || text == "auto") {
    videoRateKbps = 0;
    return true;
  }
  if (text.empty() || text.size() > 9) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value != 0 && (value < kMinVideoRateKbps || value > kMaxVideoRateKbps)) return false;
  videoRateKbps = static_cast<int>(value);
  return true;
}

bool MpgOutputOptions::Accept(SettingsStore& store) {
  if (layerChoice != 0 && layerChoice != 1) layerChoice = kDefaultLayerChoice;
  if (!InList(bitRateIndex, BitRates().size())) bitRateIndex = kDefaultBitRateIndex;
  if (!InList(frameRateIndex, FrameRateList().size())) frameRateIndex = kDefaultFrameRateIndex;
  store.SetInteger(kSection, kLayerKey, static_cast<int16_t>(layerChoice));
  store.SetInteger(kSection, kBitrateKey, static_cast<int16_t>(bitRateIndex));
  store.SetInteger(kSection, kFpsKey, static_cast<int16_t>(frameRateIndex));
  if (videoRateKbps != 0 &&
      (videoRateKbps < kMinVideoRateKbps || videoRateKbps > kMaxVideoRateKbps))
    videoRateKbps = 0;
  store.SetString(kSection, kVideoBitrateKey, std::to_string(videoRateKbps));
  return store.Save();
}

int MpgOutputOptions::AudioLayer() const {
  return layerChoice == 0 ? 1 : 2;
}

VideoCoding MpgOutputOptions::ProjectVideoCoding() const {
  VideoCoding coding;
  coding.videoRateKbps = videoRateKbps > 0 ? videoRateKbps : kAutomaticVideoRate;
  coding.slideshow = true;
  return coding;
}

int MpgOutputOptions::AudioRateKbps() const {
  const std::vector<std::string>& rates = BitRateList(AudioLayer() == 1 ? 0 : 1);
  if (!InList(bitRateIndex, rates.size())) return 128;
  return std::stoi(rates[static_cast<size_t>(bitRateIndex)]);
}

}  // namespace quendrolix
