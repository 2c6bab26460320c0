#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "avi/company_logo_dialog.h"
#include "file_chooser.h"

namespace quendrolix::app {

// "Colour": sixteen colour buttons; pressing one picks its colour and closes the picker.
class ColourPickerDlg : public QDialog {
  Q_OBJECT

 public:
  explicit ColourPickerDlg(QWidget* parent = nullptr);
  // The index of the button pressed, -1 while none was.
  int picked() const { return picked_; }
  QPushButton* colourButton(int index) const { return buttons_[index]; }

 private:
  QPushButton* buttons_[CompanyLogoDialog::kPickerColours] = {};
  int picked_ = -1;
};

// "Company Logo": binds its widgets to the core's CompanyLogoDialog. The logo button shows
// the logo picture and opens an image dialog; the colour button shows the transparent
// colour and opens the picker.
class CompanyLogoDlg : public QDialog {
  Q_OBJECT

 public:
  CompanyLogoDlg(const CompanyLogoDialog& rules, FileChooser& chooser, const QString& folder,
                 QWidget* parent = nullptr);

  // The rules with what the widgets hold now.
  CompanyLogoDialog Rules() const;

  // What the two picture buttons do once the user has chosen.
  void ChooseLogoFile(const QString& path);
  void PickColour(int index);

  QCheckBox* useLogoBox() const { return useLogo_; }
  QCheckBox* transparentBox() const { return transparent_; }
  QCheckBox* colourFromLogoBox() const { return colourFromLogo_; }
  QLineEdit* xEdit() const { return x_; }
  QLineEdit* yEdit() const { return y_; }
  QPushButton* logoButton() const { return logo_; }
  QPushButton* colourButton() const { return colour_; }

 private:
  void UpdateEnables();
  void ShowLogo();
  void ShowColour();

  mutable CompanyLogoDialog rules_;
  FileChooser& chooser_;
  QString folder_;
  QCheckBox* useLogo_;
  QCheckBox* transparent_;
  QCheckBox* colourFromLogo_;
  QLineEdit* x_;
  QLineEdit* y_;
  QPushButton* logo_;
  QPushButton* colour_;
};

}  // namespace quendrolix::app
