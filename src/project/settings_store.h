#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quendrolix {

// The program's INI store: the whole settings file ("Clipora.ini" or the file named on
// the command line) held in memory as sections of key/value strings.
//
// Reading: each line is trimmed of white space at both ends; empty lines and lines
// starting with ';' are skipped; "[name" opens a section (the name ends at the next ']'
// or at the end of the line); in a section, "key=value" is split at the first '=' with
// both sides kept exactly (so "FPS = 15" is key "FPS " and value " 15"); a line without
// '=' is stored with the whole line as the value and the line in lower case as the key;
// lines before the first section are ignored; a later key replaces an earlier one.
// Names are compared exactly (case-sensitive).
//
// Writing: sections in the order they first appeared (in the file, then as created),
// and within each section the keys in the same first-appearance order; one "[name]" line
// per section followed by "key=value" lines, each line ending in CR LF.
class SettingsStore {
 public:
  // Reads the file and remembers its path for Save. Clears the table first and the
  // changed flag after; a file that cannot be opened gives false and an empty table.
  bool Load(const std::string& path);
  // The same parse over text already in memory (no path is remembered).
  void Parse(std::string_view text);
  // Writes the file when the store is writable and changed; true only when it was written.
  // The file is replaced through a temporary file, so a failed save keeps the old one.
  bool Save();
  // The file text Save writes.
  std::string Serialize() const;

  const std::string& path() const { return path_; }
  void SetPath(const std::string& path) { path_ = path; }
  bool writable() const { return writable_; }
  void SetWritable(bool writable) { writable_ = writable; }
  bool changed() const { return changed_; }
  void Clear();  // no sections; the changed flag is kept

  // Empties `out` first, so a missing key gives an empty string. In multi-line mode
  // every '`' of the stored value is turned back into a line feed.
  bool GetString(const std::string& section, const std::string& key, std::string& out,
                 bool multiLine = false) const;
  // A leading-integer parse of the value, kept to 16 bits; `out` changes only when found.
  bool GetInteger(const std::string& section, const std::string& key, int16_t& out) const;
  // "r,g,b" split at the first two commas, each part a leading integer (one byte each);
  // out = r | g << 8 | b << 16, changed only when found.
  bool GetColour(const std::string& section, const std::string& key, uint32_t& out) const;
  // GetString with the key "%d" of `index`.
  bool GetIndexed(const std::string& section, int index, std::string& out) const;

  // Each creates the section when needed and sets the changed flag. An empty value
  // removes the key. In multi-line mode every line feed is stored as '`'.
  void SetString(const std::string& section, const std::string& key, const std::string& value,
                 bool multiLine = false);
  void SetInteger(const std::string& section, const std::string& key, int16_t value);  // "%d"
  void SetColour(const std::string& section, const std::string& key,
                 uint32_t colour);  // "%d,%d,%d" of red, green, blue

  bool HasKey(const std::string& section, const std::string& key) const;
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
    std::unordered_map<std::string, size_t> index;  // key -> position in values
  };
  Section& SectionFor(const std::string& name);
  const std::string* Find(const std::string& section, const std::string& key) const;
  static void Put(Section& section, const std::string& key, const std::string& value);
  static void Remove(Section& section, const std::string& key);

  std::string path_;
  bool writable_ = true;
  bool changed_ = false;
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;
};

// The program-wide store.
SettingsStore& TheSettingsStore();

// The folders the file dialogs start in, cached beside the store. Each is read, when
// first asked for, from "ImportPath" or "SavePath" of section "General", and is the
// program folder followed by "Images" when that key is missing.
class DialogFolders {
 public:
  explicit DialogFolders(SettingsStore& store) : store_(store) {}

  const std::string& ImportFolder();
  const std::string& SaveFolder();
  // After an open dialog is confirmed: the folder of the first chosen file becomes the
  // import folder and is written to "ImportPath". With `alsoOther` (the AVI, MPG and
  // sound dialogs) the save folder and "SavePath" become that folder too.
  void RememberOpened(const std::string& firstChosenFile, bool alsoOther = false);
  // After a save dialog: the same for the save folder, and with `alsoOther` the import
  // folder.
  void RememberSaved(const std::string& chosenFile, bool alsoOther = false);

 private:
  const std::string& Cached(std::string& cache, const char* key);
  void Remember(std::string& cache, const char* key, const std::string& folder);

  SettingsStore& store_;
  std::string importFolder_;
  std::string saveFolder_;
};

}  // namespace quendrolix
