#include "project/settings_store.h"

#include <filesystem>

#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "project/file_io.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace {

std::string_view Trim(std::string_view text) {
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

}  // namespace

SettingsStore& TheSettingsStore() {
  static SettingsStore store;
  return store;
}

void SettingsStore::Clear() {
  sections_.clear();
  sectionIndex_.clear();
}

bool SettingsStore::Load(const std::string& path) {
  path_ = path;
  Clear();
  changed_ = false;
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  Parse(text);
  changed_ = false;
  return true;
}

void SettingsStore::Parse(std::string_view text) {
  Section* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      name = name.substr(0, name.find(']'));
      current = &SectionFor(std::string(name));
      continue;
    }
    if (!current) continue;  // lines before the first section mean nothing
    size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      Put(*current, Lower(line), std::string(line));
    else
      Put(*current, std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
  }
}

std::string SettingsStore::Serialize() const {
  std::string text;
  for (const Section& section : sections_) {
    text += "[" + section.name + "]\r\n";
    for (const auto& [key, value] : section.values) text += key + "=" + value + "\r\n";
  }
  return text;
}

bool SettingsStore::Save() {
  if (!writable_ || !changed_ || path_.empty()) return false;
  return AtomicFile::WriteWhole(path_, Serialize(), nullptr, true);
}

SettingsStore::Section& SettingsStore::SectionFor(const std::string& name) {
  auto found = sectionIndex_.find(name);
  if (found != sectionIndex_.end()) return sections_[found->second];
  sectionIndex_.emplace(name, sections_.size());
  sections_.push_back(Section{name, {}, {}});
  return sections_.back();
}

const std::string* SettingsStore::Find(const std::string& section, const std::string& key) const {
  auto s = sectionIndex_.find(section);
  if (s == sectionIndex_.end()) return nullptr;
  const Section& found = sections_[s->second];
  auto k = found.index.find(key);
  return k == found.index.end() ? nullptr : &found.values[k->second].second;
}

void SettingsStore::Put(Section& section, const std::string& key, const std::string& value) {
  auto found = section.index.find(key);
  if (found != section.index.end()) {
    section.values[found->second].second = value;
    return;
  }
  section.index.emplace(key, section.values.size());
  section.values.emplace_back(key, value);
}

void SettingsStore::Remove(Section& section, const std::string& key) {
  auto found = section.index.find(key);
  if (found == section.index.end()) return;
  size_t position = found->second;
  section.values.erase(section.values.begin() + static_cast<long>(position));
  section.index.erase(found);
  for (auto& [name, at] : section.index)
    if (at > position) --at;
}

bool SettingsStore::GetString(const std::string& section, const std::string& key, std::string& out,
                              bool multiLine) const {
  out.clear();
  const std::string* value = Find(section, key);
  if (!value) return false;
  out = *value;
  if (multiLine)
    for (char& c : out)
      if (c == '`') c = '\n';
  return true;
}

bool SettingsStore::GetInteger(const std::string& section, const std::string& key,
                               int16_t& out) const {
  const std::string* value = Find(section, key);
  if (!value) return false;
  out = static_cast<int16_t>(LeadingInteger(*value));  // kept to 16 bits, as stored
  return true;
}

bool SettingsStore::GetColour(const std::string& section, const std::string& key,
                              uint32_t& out) const {
  const std::string* value = Find(section, key);
  if (!value) return false;
  std::string_view text = *value;
  uint32_t parts[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    size_t comma = i < 2 ? text.find(',') : std::string_view::npos;
    parts[i] = static_cast<uint32_t>(LeadingInteger(text.substr(0, comma))) & 0xFF;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  out = parts[0] | parts[1] << 8 | parts[2] << 16;
  return true;
}

bool SettingsStore::GetIndexed(const std::string& section, int index, std::string& out) const {
  return GetString(section, std::to_string(index), out);
}

void SettingsStore::SetString(const std::string& section, const std::string& key,
                              const std::string& value, bool multiLine) {
  Section& target = SectionFor(section);
  changed_ = true;
  if (value.empty()) {
    Remove(target, key);
    return;
  }
  std::string stored = value;
  if (multiLine)
    for (char& c : stored)
      if (c == '\n') c = '`';
  Put(target, key, stored);
}

void SettingsStore::SetInteger(const std::string& section, const std::string& key, int16_t value) {
  SetString(section, key, StringPrintf("%d", value));
}

void SettingsStore::SetColour(const std::string& section, const std::string& key, uint32_t colour) {
  SetString(section, key,
            StringPrintf("%d,%d,%d", static_cast<int>(colour & 0xFF),
                         static_cast<int>((colour >> 8) & 0xFF),
                         static_cast<int>((colour >> 16) & 0xFF)));
}

bool SettingsStore::HasKey(const std::string& section, const std::string& key) const {
  return Find(section, key) != nullptr;
}

std::vector<std::string> SettingsStore::Sections() const {
  std::vector<std::string> names;
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::string> SettingsStore::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  auto s = sectionIndex_.find(section);
  if (s != sectionIndex_.end())
    for (const auto& [key, value] : sections_[s->second].values) keys.push_back(key);
  return keys;
}

const std::string& DialogFolders::Cached(std::string& cache, const char* key) {
  if (cache.empty() && !store_.GetString("General", key, cache))
    cache = ProgramFolder::Join("Images");
  return cache;
}

const std::string& DialogFolders::ImportFolder() {
  return Cached(importFolder_, "ImportPath");
}

const std::string& DialogFolders::SaveFolder() {
  return Cached(saveFolder_, "SavePath");
}

void DialogFolders::Remember(std::string& cache, const char* key, const std::string& folder) {
  cache = folder;
  store_.SetString("General", key, folder);
}

void DialogFolders::RememberOpened(const std::string& firstChosenFile, bool alsoOther) {
  std::string folder = std::filesystem::path(firstChosenFile).parent_path().string();
  Remember(importFolder_, "ImportPath", folder);
  if (alsoOther) Remember(saveFolder_, "SavePath", folder);
}

void DialogFolders::RememberSaved(const std::string& chosenFile, bool alsoOther) {
  std::string folder = std::filesystem::path(chosenFile).parent_path().string();
  Remember(saveFolder_, "SavePath", folder);
  if (alsoOther) Remember(importFolder_, "ImportPath", folder);
}

}  // namespace quendrolix
