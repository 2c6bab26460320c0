#include "mpeg/video/engine_services.h"

namespace quendrolix {
namespace {
MpegEngineServices& Services() {
  static MpegEngineServices services;
  return services;
}
}  // namespace

const MpegEngineServices& GetMpegEngineServices() {
  return Services();
}

void SetMpegEngineServices(MpegEngineServices services) {
  Services() = std::move(services);
}

ScopedMpegEngineServices::ScopedMpegEngineServices(MpegEngineServices services)
    : previous_(Services()) {
  Services() = std::move(services);
}

ScopedMpegEngineServices::~ScopedMpegEngineServices() {
  Services() = std::move(previous_);
}

}  // namespace quendrolix
