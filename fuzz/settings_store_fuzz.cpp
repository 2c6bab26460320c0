// The settings parser on arbitrary text. Whatever it keeps must survive a save and a
// reload unchanged, and every value must read back through each value form.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  SettingsStore store;
  store.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string text = store.Serialize();

  for (const std::string& section : store.Sections()) {
    for (const std::string& key : store.Keys(section)) {
      std::string value;
      int16_t number = 0;
      uint32_t colour = 0;
      if (!store.GetString(section, key, value, /*multiLine=*/true) ||
          !store.GetInteger(section, key, number) || !store.GetColour(section, key, colour) ||
          colour > 0xFFFFFF)
        std::abort();
    }
  }

  SettingsStore again;
  again.Parse(text);
  if (again.Serialize() != text) std::abort();
  return 0;
}
