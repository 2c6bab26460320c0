#pragma once

// The rules of the "Company Logo" dialog (command "&Logo...") and of its colour picker
// "Colour": what each control starts with, when it is enabled, the captions of the two
// bitmap buttons, and what OK writes. The Qt dialog binds its widgets to these fields.

#include <string>

#include "avi/frame_composition.h"
#include "platform/gdi/gdi.h"
#include "project/framewright_doc.h"

namespace quendrolix {

struct CompanyLogoDialog {
  // The logo button's file dialog.
  static constexpr const char* kLogoFilter =
      "Image Files|*.bmp;*.dib;*.gif;*.jpeg;*.jpg;*.pcx;*.png;*.rle;*.tga;*.tif;*.tiff;*.cri||";
  static constexpr const char* kLogoDefaultExtension = "bmp";

  bool useLogo = true;                   // "Add logo to all the frames"
  std::string xText = "0";               // "Position:" x
  std::string yText = "0";               // "Position:" y
  bool transparent = false;              // "Draw transparently"
  bool colourFromLogo = false;           // "Get from logo (0, 0)"
  COLORREF colour = 0;                   // the transparent colour, 0x00BBGGRR
  std::string logoCaption = "U:<LOGO~";  // the logo button, naming the logo file

  // Opened on the document's logo settings.
  static CompanyLogoDialog ForDocument(const CFramewrightDoc& doc);

  // Enables. The position boxes, "Draw transparently" and the logo button follow "Add logo
  // to all the frames"; the colour button and "Get from logo (0, 0)" need both check boxes.
  bool PositionEnabled() const { return useLogo; }
  bool TransparentEnabled() const { return useLogo; }
  bool LogoButtonEnabled() const { return useLogo; }
  bool ColourButtonEnabled() const { return useLogo && transparent; }
  bool ColourFromLogoEnabled() const { return useLogo && transparent; }

  // "U:" + file + "~": the bitmap button shows that picture.
  static std::string LogoCaptionFor(const std::string& file);
  // The file named by the logo button's caption (the caption itself when it is not of
  // that form).
  std::string LogoFile() const;
  // A file chosen in the logo button's file dialog becomes the caption.
  void ChooseLogoFile(const std::string& path) { logoCaption = LogoCaptionFor(path); }

  // "W:R%dG%dB%d~" with the red, green and blue of the transparent colour.
  std::string ColourCaption() const;

  // The colour picker: sixteen buttons captioned "W:0~" to "W:F~".
  static constexpr int kPickerColours = 16;
  static std::string PickerCaption(int index);  // empty outside 0..15
  static COLORREF PickerColour(int index);      // black outside 0..15
  // Pressing picker button `index` picks its colour (and closes the picker). False for an
  // index outside 0..15, which changes nothing.
  bool PickColour(int index);

  // OK: the six numbers and the caption's file become the document's logo settings, are
  // written to section "Logo" (crTrans as "%d,%d,%d") and the settings file is saved at
  // once; then the logo is prepared again. Returns the save's result. Position texts are
  // read as leading integers and kept to 16 bits.
  bool Apply(CFramewrightDoc& doc, LogoPictures& pictures = TheLogoPictures()) const;
};

}  // namespace quendrolix
