#pragma once

// The compression options of every AVI written from images: one program-wide record,
// its file "AVI.codec", and the rules of the compression-options dialog.
//
// "AVI.codec" (little-endian, no header): stream type, compressor handler, key frame
// every, quality, bytes per second, flags, interleave every, state size n (eight 32-bit
// fields in this order), then the n bytes of the compressor state.

#include <functional>
#include <string>
#include <vector>

#include "platform/vfw/codec.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// Start values: 'vids', 'msvc', key frame every 20, quality 10000, no data rate, flags
// AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES, no format, no state, interleave 0.
AVICOMPRESSOPTIONS CodecOptionsStartValues();

// The program-wide record (start values until changed).
AVICOMPRESSOPTIONS& CodecOptions();
// Puts the start values back (tests; a fresh run).
void ResetCodecOptions();

// Load options: reads `path` into `options` field by field. A file that cannot be opened
// or read to its end shows "Could not load AVI options file: %s" and returns false; the
// fields read before the failure stay in the record. A state size larger than the rest
// of the file is a read failure (nothing is allocated for it).
bool LoadCodecOptions(const std::string& path, AVICOMPRESSOPTIONS& options);
bool LoadCodecOptions(const std::string& path);  // into CodecOptions()

// Save options: writes `options` to `path` through a temporary file renamed into place;
// a failure shows "Could not save AVI options file: %s", returns false and leaves any
// earlier file untouched.
bool SaveCodecOptions(const std::string& path, const AVICOMPRESSOPTIONS& options);
bool SaveCodecOptions(const std::string& path);  // CodecOptions()

// "AVI.codec" in the program folder.
std::string DefaultCodecOptionsPath();
// What answering Yes in the "&AVI Codec..." command does: saves CodecOptions() to
// DefaultCodecOptionsPath() and, when that worked, shows "Options saved to AVI.codec
// file. If you uninstall the codec, please delete AVI.codec before running Quendrolix."
bool SaveCodecOptionsAsDefault();

// ---- The compression-options dialog --------------------------------------------------

// One line of the compressor list.
struct CompressorChoice {
  FOURCC handler = 0;
  std::string name;          // "MS Video 1"
  std::vector<int> depths;   // frame depths it takes
  bool quality = false;      // the quality slider applies
  bool keyFrames = false;    // "Key Frame Every" applies
  bool dataRate = false;     // "Data Rate" applies
  bool hasSettings = false;  // a "Configure..." button applies
};

// Every compressor of the registry, in list order; with `depth` non-zero only those
// that take frames of that depth.
std::vector<CompressorChoice> CompressorChoices(int depth = 0);

// What the dialog shows and edits. The Qt dialog binds its widgets to these fields
// and calls the functions; nothing here needs a window.
struct CompressionDialogState {
  std::vector<CompressorChoice> compressors;
  int selected = 0;          // index into compressors
  int qualityPercent = 100;  // slider 0..100 (the record holds 100 times that)
  bool keyFramesOn = true;
  int keyFrameEvery = 20;  // 1..9999
  bool dataRateOn = false;
  int dataRateKBps = 300;  // 1..99999 KB/s (the record holds bytes per second)

  // The state for `options` (compressor found by its code; full frames when unknown).
  static CompressionDialogState FromOptions(const AVICOMPRESSOPTIONS& options, int depth = 0);

  const CompressorChoice* current() const;
  void Select(int index);               // out of range is ignored
  void SetQualityPercent(int percent);  // clamped to 0..100
  void SetKeyFrameEvery(int frames);    // clamped to 1..9999
  void SetDataRateKBps(int kbps);       // clamped to 1..99999
  bool QualityEnabled() const;
  bool KeyFramesEnabled() const;  // the check box and, while it is on, the edit
  bool DataRateEnabled() const;
  bool ConfigureEnabled() const;
  // OK: writes the choice into `options`. Fields a compressor does not use keep their
  // values; choosing another compressor drops the old one's state block.
  void ApplyTo(AVICOMPRESSOPTIONS& options) const;
};

// The compression options given as arguments instead of through the dialog (the command
// line). Unset members keep what the options hold.
struct CodecArguments {
  const CodecDescription* codec = nullptr;  // the compressor; null keeps it
  long quality = -1;                        // 0..10000
  long keyFrameEvery = -1;                  // 0: only the first frame is a key frame
  long dataRateKBps = -1;                   // kilobytes per second; 0: no limit
};
// Writes the arguments into `options` by the dialog's rules: choosing another compressor
// drops the old one's state block, and the key-frame and data-rate flags follow their
// values.
void ApplyCodecArguments(const CodecArguments& arguments, AVICOMPRESSOPTIONS& options);

// Shows the dialog for `state`; true when it was confirmed with OK.
using CompressionDialog = std::function<bool(CompressionDialogState& state)>;

// The "&AVI Codec..." command: creates "ZQTemp.AVI" in the program folder with one video
// stream ('vids', handler 0, scale 1, rate 100, buffer 40000, frame 0,0,50,50), shows the
// dialog over CodecOptions(), deletes the file, and after OK asks "Would you like to set
// the current options as default?"; Yes saves them as SaveCodecOptionsAsDefault() does.
// False when the temporary file or stream cannot be made (nothing happens then) or the
// dialog was cancelled (the options stay as they were).
bool ChooseCodecOptions(const CompressionDialog& dialog);

}  // namespace quendrolix
