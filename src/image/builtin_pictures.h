#pragma once

// Pictures compiled into the program: the list-bar button pictures and the logo
// placeholder. They are named with a pseudo-extension that says how they are stored: ".P"
// for a PCX picture (resource type "pcx"), ".B4" and ".B8" for packed DIBs (resource type
// "bitmap"), and are loaded through CBmp::Load by that name ("<UP.B4").

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quendrolix {

struct BuiltInResource {
  const char* name;  // with its pseudo-extension, "<LOGO.P"
  const char* type;  // "pcx" or "bitmap"
  const uint8_t* data;
  size_t size;
};

// The resource of that name and type (names compare without regard to case), or null.
const BuiltInResource* FindBuiltInResource(const std::string& name, const std::string& type);
// Every built-in resource.
const std::vector<BuiltInResource>& BuiltInResources();
// The loadable name of a built-in picture named without extension ("<UP" -> "<UP.B4"), or
// empty when there is none.
std::string BuiltInPictureName(const std::string& picture);

}  // namespace quendrolix
