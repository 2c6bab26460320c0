#include "mpeg/video/engine_settings.h"

namespace quendrolix {

EngineSettings& MpegEngineSettings() {
  static EngineSettings settings;
  return settings;
}

}  // namespace quendrolix
