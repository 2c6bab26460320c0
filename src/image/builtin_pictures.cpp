#include "image/builtin_pictures.h"

#include <strings.h>

namespace quendrolix {

const BuiltInResource* FindBuiltInResource(const std::string& name, const std::string& type) {
  for (const BuiltInResource& r : BuiltInResources())
    if (strcasecmp(r.name, name.c_str()) == 0 && strcasecmp(r.type, type.c_str()) == 0) return &r;
  return nullptr;
}

std::string BuiltInPictureName(const std::string& picture) {
  for (const char* ext : {".B8", ".B4", ".P"}) {
    std::string name = picture + ext;
    for (const BuiltInResource& r : BuiltInResources())
      if (strcasecmp(r.name, name.c_str()) == 0) return r.name;
  }
  return {};
}

}  // namespace quendrolix
