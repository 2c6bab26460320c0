#pragma once

// What the AVI side adds to the start-up sequence: the codec options file and the logo
// pictures. The fronts call InstallAviStartupHooks on the hooks they pass to
// RunStartupSequence (nothing here runs from a static initialiser).

#include "avi/frame_composition.h"
#include "project/startup_sequence.h"

namespace quendrolix {

// Sets hooks.loadCodecOptions (LoadCodecOptions into CodecOptions()) and hooks.prepareLogo
// (PrepareLogo of the document's logo settings into `pictures`). Other hooks are kept.
void InstallAviStartupHooks(StartupHooks& hooks, LogoPictures& pictures = TheLogoPictures());

}  // namespace quendrolix
