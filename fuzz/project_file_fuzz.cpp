// The project file reader on arbitrary bytes. Whatever it accepts must write back and
// read again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  if (ReadProject(doc, bytes, "fuzz.qdx") != ProjectReadStatus::kOk) return 0;
  std::string written = WriteProject(doc);

  FrameList againList;
  CFramewrightDoc again(againList, store);
  if (ReadProject(again, written, "again.qdx") != ProjectReadStatus::kOk) std::abort();
  if (WriteProject(again) != written) std::abort();
  if (againList.EntryCount() != list.EntryCount()) std::abort();
  return 0;
}
