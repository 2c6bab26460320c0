#include "avi/avi_startup.h"

#include "avi/codec_options.h"

namespace quendrolix {

void InstallAviStartupHooks(StartupHooks& hooks, LogoPictures& pictures) {
  hooks.loadCodecOptions = [](const std::string& codecFile) { LoadCodecOptions(codecFile); };
  hooks.prepareLogo = [&pictures](CFramewrightDoc& doc) { PrepareLogo(doc.logo, pictures); };
}

}  // namespace quendrolix
