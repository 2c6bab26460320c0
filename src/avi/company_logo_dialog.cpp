#include "avi/company_logo_dialog.h"

#include <algorithm>
#include <cstdint>

#include "platform/host/conversion_log.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace {

constexpr COLORREF kPicker[CompanyLogoDialog::kPickerColours] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

int16_t Short(const std::string& text) {
  return static_cast<int16_t>(std::clamp<int32_t>(LeadingInteger(text), INT16_MIN, INT16_MAX));
}

}  // namespace

CompanyLogoDialog CompanyLogoDialog::ForDocument(const CFramewrightDoc& doc) {
  const LogoSettings& logo = doc.logo;
  CompanyLogoDialog dialog;
  dialog.useLogo = logo.bUseLogo != 0;
  dialog.xText = std::to_string(logo.nXPos);
  dialog.yText = std::to_string(logo.nYPos);
  dialog.transparent = logo.bUseTransparent != 0;
  dialog.colourFromLogo = logo.bColorFromLogo != 0;
  dialog.colour = logo.crTrans;
  dialog.logoCaption = LogoCaptionFor(logo.sLogoFile);
  return dialog;
}

std::string CompanyLogoDialog::LogoCaptionFor(const std::string& file) {
  return "U:" + file + "~";
}

std::string CompanyLogoDialog::LogoFile() const {
  const std::string& c = logoCaption;
  if (c.size() >= 3 && c.compare(0, 2, "U:") == 0 && c.back() == '~')
    return c.substr(2, c.size() - 3);
  return c;
}

std::string CompanyLogoDialog::ColourCaption() const {
  return StringPrintf("W:R%dG%dB%d~", GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

std::string CompanyLogoDialog::PickerCaption(int index) {
  if (index < 0 || index >= kPickerColours) return {};
  return StringPrintf("W:%X~", index);
}

COLORREF CompanyLogoDialog::PickerColour(int index) {
  return index >= 0 && index < kPickerColours ? kPicker[index] : 0;
}

bool CompanyLogoDialog::PickColour(int index) {
  if (index < 0 || index >= kPickerColours) return false;
  colour = kPicker[index];
  return true;
}

bool CompanyLogoDialog::Apply(CFramewrightDoc& doc, LogoPictures& pictures) const {
  LogoSettings& logo = doc.logo;
  logo.bUseLogo = useLogo ? 1 : 0;
  logo.bUseTransparent = transparent ? 1 : 0;
  logo.nXPos = Short(xText);
  logo.nYPos = Short(yText);
  logo.bColorFromLogo = colourFromLogo ? 1 : 0;
  logo.crTrans = colour & 0x00FFFFFF;
  logo.sLogoFile = LogoFile();

  SettingsStore& store = doc.store();
  logo.WriteTo(store);
  bool saved = store.Save();
  PrepareLogo(logo, pictures);
  return saved;
}

}  // namespace quendrolix
