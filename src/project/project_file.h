#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "project/framewright_doc.h"

namespace quendrolix {

// The project file (".qdx"): little-endian integers and length-prefixed byte strings.
//   magic "QDXC" (string), version (int16, written 30), sound file (string, version >= 20),
//   entry count (int32), frames per second (int16), bits per pixel (int16), then per entry:
//   display name (string), full path (string), frame count (int32, version >= 30); then,
//   from version 40, the output width and height (int32 each, 0 x 0 for the first
//   picture's size), the picture fit and the sound fit (strings: "letterbox", "trim", ...).
constexpr int16_t kProjectFileVersion = 40;
constexpr const char* kProjectFileMagic = "QDXC";

// A string is a length then its bytes: n < 255 as one byte; n < 65534 as 0xFF and a
// 16-bit n; longer as 0xFF, 0xFFFF and a 32-bit n.
class ArchiveWriter {
 public:
  void WriteInt16(int16_t value);
  void WriteInt32(int32_t value);
  void WriteString(std::string_view text);
  const std::string& bytes() const { return bytes_; }

 private:
  void WriteRaw(uint64_t value, int bytes);
  std::string bytes_;
};

// Thrown by ArchiveReader when a read would go past the end of the bytes.
class ArchivePastEnd : public std::runtime_error {
 public:
  ArchivePastEnd() : std::runtime_error("past end") {}
};

// Reads what ArchiveWriter writes, every length checked against the bytes there are.
// Also accepts the wide form of a string (0xFF, 0xFFFE, then a length in the same form
// counting UTF-16 units), which comes back as UTF-8.
class ArchiveReader {
 public:
  explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}
  int16_t ReadInt16();
  int32_t ReadInt32();
  std::string ReadString();
  size_t remaining() const { return bytes_.size() - position_; }

 private:
  uint64_t ReadRaw(int bytes);
  uint64_t ReadLength(bool& wide);
  std::string_view Take(uint64_t count);
  std::string_view bytes_;
  size_t position_ = 0;
};

// The bytes of the document's project file.
std::string WriteProject(const CFramewrightDoc& doc);
// Reads project-file bytes into the document as the framework's open does. The whole file
// is read before the document changes: a wrong magic shows "Unknown file format", a
// version above 40 "Unsupported file version", bytes that end early "An attempt was made
// to access <fileName> past its end.", and each leaves the document as it was. A complete
// read cuts the list back to the header row, fills it and ends with the document's
// Refresh. The name table is never emptied; a version-19 file keeps the sound that was
// attached before; files before version 40 take the default output format and sound fit.
ProjectReadStatus ReadProject(CFramewrightDoc& doc, std::string_view bytes,
                              const std::string& fileName);

}  // namespace quendrolix
