#include "mpeg/video/engine_services.h"

namespace quendrolix {
namespace {

// What was set, and what is in force: the same with every empty member filled in.
struct ServiceSlots {
  MpegEngineServices installed;
  MpegEngineServices effective = DefaultMpegEngineServices();
};

ServiceSlots& Slots() {
  static ServiceSlots slots;
  return slots;
}

MpegEngineServices WithDefaults(MpegEngineServices services) {
  MpegEngineServices real = DefaultMpegEngineServices();
  if (!services.openAvi) services.openAvi = std::move(real.openAvi);
  if (!services.loadImage) services.loadImage = std::move(real.loadImage);
  if (!services.encodeAviAudio) services.encodeAviAudio = std::move(real.encodeAviAudio);
  if (!services.convertSoundToMp2) services.convertSoundToMp2 = std::move(real.convertSoundToMp2);
  if (!services.multiplex) services.multiplex = std::move(real.multiplex);
  return services;
}

void Install(MpegEngineServices services) {
  ServiceSlots& slots = Slots();
  slots.effective = WithDefaults(services);
  slots.installed = std::move(services);
}

}  // namespace

const MpegEngineServices& GetMpegEngineServices() {
  return Slots().effective;
}

void SetMpegEngineServices(MpegEngineServices services) {
  Install(std::move(services));
}

ScopedMpegEngineServices::ScopedMpegEngineServices(MpegEngineServices services)
    : previous_(Slots().installed) {
  Install(std::move(services));
}

ScopedMpegEngineServices::~ScopedMpegEngineServices() {
  Install(std::move(previous_));
}

}  // namespace quendrolix
