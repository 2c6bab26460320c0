#pragma once

#include <string>
#include <vector>

#include "mpeg/video/mpeg_converter.h"

namespace quendrolix {

class SettingsStore;

// The rules of "MPG Output Options": the audio layer (radio pair "Layer 1" = 0, "Layer 2"
// = 1), the audio bit rate as a position in the layer's list (combo 1051) and the frame
// rate as a position in the frame-rate list (combo 1050). The project's MPG creation reads
// the same three keys of section "MPEG".
struct MpgOutputOptions {
  static constexpr const char* kSection = "MPEG";
  static constexpr const char* kLayerKey = "Layer";
  static constexpr const char* kBitrateKey = "Bitrate";
  static constexpr const char* kFpsKey = "FPS";
  // The video bit rate in kbit/s (1000 bit/s), "0" for automatic.
  static constexpr const char* kVideoBitrateKey = "VideoBitrate";
  static constexpr int kMinVideoRateKbps = 32;
  static constexpr int kMaxVideoRateKbps = 104856;  // the largest bit_rate MPEG-1 names
  static constexpr int kDefaultLayerChoice = 1;
  static constexpr int kDefaultBitRateIndex = 7;
  // Position of "as the project" in the frame-rate list: after the eight rates, so the
  // positions stored before it was added keep their meaning. Settings without "FPS" get it.
  static constexpr int kAsProjectFrameRateIndex = 8;
  static constexpr int kDefaultFrameRateIndex = kAsProjectFrameRateIndex;

  int layerChoice = kDefaultLayerChoice;
  int bitRateIndex = kDefaultBitRateIndex;
  int frameRateIndex = kDefaultFrameRateIndex;
  int videoRateKbps = 0;  // 0: automatic

  // The dialog object as made: the defaults, each replaced by its key when the store has
  // it (values as stored, even out of range).
  static MpgOutputOptions FromStore(const SettingsStore& store);

  // "10", "12", "15", "23.976", "24", "25", "29.97", "30", "as the project".
  static const std::vector<std::string>& FrameRateList();
  // The bit rates (kbit/s) of layer 1 for choice 0, of layer 2 for any other; position i
  // is bit-rate index i + 1 of the layer.
  static const std::vector<std::string>& BitRateList(int layerChoice);
  // The list combo 1051 shows now.
  const std::vector<std::string>& BitRates() const { return BitRateList(layerChoice); }

  // A layer radio button was clicked: the list is refilled for that layer and the same
  // position selected (so "128" of layer 2 becomes "256" of layer 1). Values other than
  // 0 and 1 are ignored.
  void ChooseLayer(int radioValue);

  // The video bit rate as shown: "automatic" or the kbit/s.
  std::string VideoRateText() const;
  // Takes "automatic" (or "auto", or 0) or a whole number of kbit/s from 32 to 104856;
  // false, leaving the rate as it was, for anything else.
  bool SetVideoRateText(const std::string& text);

  // OK, after the dialog has put the widgets' values into the members: writes "Layer",
  // "Bitrate", "FPS" and "VideoBitrate" and saves the settings file at once. A position outside its
  // list (nothing selected) is written as its default rather than as -1. True when the file was
  // saved.
  bool Accept(SettingsStore& store);

  // What the project's MPG creation takes from the options: the layer (1 or 2; a stored
  // layer other than 0 counts as layer 2) and the audio rate in kbit/s (the layer's table
  // at the position; 128 when the position is outside 0 to 13).
  int AudioLayer() const;
  int AudioRateKbps() const;
  // How the project's MPG creation codes its video: the chosen rate (automatic by
  // default) and the slideshow coding, since the frame list says which frames repeat.
  VideoCoding ProjectVideoCoding() const;
};

}  // namespace quendrolix
