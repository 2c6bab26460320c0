#include "project/project_file.h"

#include <vector>

#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {

void ArchiveWriter::WriteRaw(uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) bytes_ += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void ArchiveWriter::WriteInt16(int16_t value) {
  WriteRaw(static_cast<uint16_t>(value), 2);
}

void ArchiveWriter::WriteInt32(int32_t value) {
  WriteRaw(static_cast<uint32_t>(value), 4);
}

void ArchiveWriter::WriteString(std::string_view text) {
  uint64_t n = text.size();
  if (n < 0xFF) {
    WriteRaw(n, 1);
  } else if (n < 0xFFFE) {
    WriteRaw(0xFF, 1);
    WriteRaw(n, 2);
  } else {
    WriteRaw(0xFF, 1);
    WriteRaw(0xFFFF, 2);
    WriteRaw(n, 4);
  }
  bytes_.append(text);
}

std::string_view ArchiveReader::Take(uint64_t count) {
  if (count > remaining()) throw ArchivePastEnd();
  std::string_view taken = bytes_.substr(position_, static_cast<size_t>(count));
  position_ += static_cast<size_t>(count);
  return taken;
}

uint64_t ArchiveReader::ReadRaw(int bytes) {
  std::string_view raw = Take(static_cast<uint64_t>(bytes));
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(raw[i]);
  return value;
}

int16_t ArchiveReader::ReadInt16() {
  return static_cast<int16_t>(static_cast<uint16_t>(ReadRaw(2)));
}

int32_t ArchiveReader::ReadInt32() {
  return static_cast<int32_t>(static_cast<uint32_t>(ReadRaw(4)));
}

uint64_t ArchiveReader::ReadLength(bool& wide) {
  uint64_t n = ReadRaw(1);
  if (n < 0xFF) return n;
  n = ReadRaw(2);
  if (n == 0xFFFE) {
    // The wide marker: the real length follows in the same form. A second marker would
    // say nothing new, so it ends the string as empty rather than looping.
    wide = true;
    n = ReadRaw(1);
    if (n < 0xFF) return n;
    n = ReadRaw(2);
    if (n == 0xFFFE) return 0;
  }
  if (n < 0xFFFF) return n;
  return ReadRaw(4);
}

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Utf16ToUtf8(std::string_view units) {
  std::string out;
  size_t count = units.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(units[2 * i]) |
                                 static_cast<uint8_t>(units[2 * i + 1]) << 8);
  };
  for (size_t i = 0; i < count; ++i) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;  // a lone surrogate
    }
    AppendUtf8(out, code);
  }
  return out;
}

}  // namespace

std::string ArchiveReader::ReadString() {
  bool wide = false;
  uint64_t n = ReadLength(wide);
  if (!wide) return std::string(Take(n));
  if (n > remaining() / 2) throw ArchivePastEnd();
  return Utf16ToUtf8(Take(n * 2));
}

std::string WriteProject(const CFramewrightDoc& doc) {
  ArchiveWriter out;
  const FrameList& list = doc.list();
  out.WriteString(kProjectFileMagic);
  out.WriteInt16(kProjectFileVersion);
  out.WriteString(doc.soundFile());
  out.WriteInt32(list.EntryCount());
  out.WriteInt16(doc.framesPerSecond);
  out.WriteInt16(doc.bitsPerPixel);
  for (int row = 1; row <= list.EntryCount(); ++row) {
    const std::string& name = list.Cell(row, FrameList::kNameColumn);
    out.WriteString(name);
    out.WriteString(doc.LookUpPath(name));
    // As typed: a cell reading "abc" is stored as 0 and read back as the default.
    out.WriteInt32(FrameCountFromText(list.Cell(row, FrameList::kFramesColumn)));
  }
  out.WriteInt32(doc.output.width);
  out.WriteInt32(doc.output.height);
  out.WriteString(PictureFitName(doc.output.fit));
  out.WriteString(SoundFitName(doc.soundFit));
  return out.bytes();
}

namespace {

// What a project file holds, read in full before any of it reaches the document.
struct ProjectFileData {
  int16_t version = 0;
  std::string sound;
  int16_t framesPerSecond = 0;
  int16_t bitsPerPixel = 0;
  struct Entry {
    std::string name, path;
    int32_t frames = 1;
  };
  std::vector<Entry> entries;
  OutputFormat output;
  SoundFit soundFit = SoundFit::kTrim;
};

ProjectReadStatus ParseProject(std::string_view bytes, const std::string& fileName,
                               ProjectFileData& data) {
  ArchiveReader in(bytes);
  try {
    if (in.ReadString() != kProjectFileMagic) {
      Prompts().ShowMessage("Unknown file format");
      return ProjectReadStatus::kUnknownFormat;
    }
    data.version = in.ReadInt16();
    if (data.version > kProjectFileVersion) {
      Prompts().ShowMessage("Unsupported file version");
      return ProjectReadStatus::kUnsupportedVersion;
    }
    if (data.version >= 20) data.sound = in.ReadString();
    const int32_t count = in.ReadInt32();
    data.framesPerSecond = in.ReadInt16();
    data.bitsPerPixel = in.ReadInt16();
    // Every entry takes at least two bytes, so a claimed count the file cannot hold ends
    // at its end instead of reserving room for it.
    for (int32_t i = 0; i < count; ++i) {
      ProjectFileData::Entry entry;
      entry.name = in.ReadString();
      entry.path = in.ReadString();
      entry.frames = data.version >= 30 ? in.ReadInt32() : 1;
      data.entries.push_back(std::move(entry));
    }
    if (data.version >= 40) {
      const int32_t width = in.ReadInt32();
      const int32_t height = in.ReadInt32();
      if (width > 0 && height > 0 && width <= 16384 && height <= 16384) {
        data.output.width = width;
        data.output.height = height;
      }
      // A name this version does not know keeps the default.
      ParsePictureFit(in.ReadString(), data.output.fit);
      ParseSoundFit(in.ReadString(), data.soundFit);
    }
  } catch (const ArchivePastEnd&) {
    Prompts().ShowMessage(
        StringPrintf("An attempt was made to access %s past its end.", fileName.c_str()));
    return ProjectReadStatus::kPastEnd;
  }
  return ProjectReadStatus::kOk;
}

}  // namespace

ProjectReadStatus ReadProject(CFramewrightDoc& doc, std::string_view bytes,
                              const std::string& fileName) {
  // A file that cannot be read in full leaves the project as it was: nothing is lost by
  // opening a damaged file over unsaved work.
  ProjectFileData data;
  const ProjectReadStatus status = ParseProject(bytes, fileName, data);
  if (status != ProjectReadStatus::kOk) return status;
  doc.list().ResetToHeader();
  if (data.version >= 20) doc.AttachSound(data.sound);
  doc.framesPerSecond = data.framesPerSecond;
  doc.bitsPerPixel = data.bitsPerPixel;
  for (const ProjectFileData::Entry& entry : data.entries) {
    doc.SetImagePath(entry.name, entry.path);
    doc.AddImage(entry.name, -1, entry.frames);
  }
  doc.output = data.output;
  doc.soundFit = data.soundFit;
  doc.Refresh();
  return ProjectReadStatus::kOk;
}

}  // namespace quendrolix
