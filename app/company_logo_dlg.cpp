#include "company_logo_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "image/cbmp.h"
#include "qt_bitmap.h"

namespace quendrolix::app {
namespace {

constexpr int kLogoButtonSize = 96;

QIcon Swatch(COLORREF colour, QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(ColourFromColorref(colour));
  return QIcon(pixmap);
}

}  // namespace

ColourPickerDlg::ColourPickerDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("colourPicker");
  setWindowTitle("Colour");
  auto* grid = new QGridLayout(this);
  for (int i = 0; i < CompanyLogoDialog::kPickerColours; ++i) {
    auto* button = new QPushButton(this);
    button->setObjectName(QString::fromStdString(CompanyLogoDialog::PickerCaption(i)));
    button->setIcon(Swatch(CompanyLogoDialog::PickerColour(i), QSize(20, 20)));
    button->setFixedSize(32, 32);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, i] {
      picked_ = i;
      accept();
    });
    buttons_[i] = button;
    grid->addWidget(button, i / 8, i % 8);
  }
}

CompanyLogoDlg::CompanyLogoDlg(const CompanyLogoDialog& rules, FileChooser& chooser,
                               const QString& folder, QWidget* parent)
    : QDialog(parent), rules_(rules), chooser_(chooser), folder_(folder) {
  setObjectName("companyLogoDialog");
  setWindowTitle("Company Logo");
  useLogo_ = new QCheckBox("Add logo to all the frames", this);
  x_ = new QLineEdit(QString::fromStdString(rules_.xText), this);
  y_ = new QLineEdit(QString::fromStdString(rules_.yText), this);
  for (QLineEdit* edit : {x_, y_}) edit->setMaximumWidth(60);
  logo_ = new QPushButton(this);
  logo_->setObjectName("logoButton");
  logo_->setFixedSize(kLogoButtonSize + 12, kLogoButtonSize + 12);
  logo_->setIconSize(QSize(kLogoButtonSize, kLogoButtonSize));
  transparent_ = new QCheckBox("Draw transparently", this);
  colour_ = new QPushButton(this);
  colour_->setObjectName("colourButton");
  colour_->setIconSize(QSize(40, 14));
  colourFromLogo_ = new QCheckBox("Get from logo (0, 0)", this);
  for (QPushButton* button : {logo_, colour_}) button->setAutoDefault(false);

  useLogo_->setChecked(rules_.useLogo);
  transparent_->setChecked(rules_.transparent);
  colourFromLogo_->setChecked(rules_.colourFromLogo);

  connect(useLogo_, &QCheckBox::toggled, this, [this] { UpdateEnables(); });
  connect(transparent_, &QCheckBox::toggled, this, [this] { UpdateEnables(); });
  connect(logo_, &QPushButton::clicked, this, [this] {
    QStringList files =
        chooser_.ChooseImageFiles(this, "Logo", folder_, CompanyLogoDialog::kLogoFilter, false);
    if (!files.isEmpty())
      ChooseLogoFile(WithDefaultSuffix(files.first(), CompanyLogoDialog::kLogoDefaultExtension));
  });
  connect(colour_, &QPushButton::clicked, this, [this] {
    ColourPickerDlg picker(this);
    if (picker.exec() == QDialog::Accepted) PickColour(picker.picked());
  });

  auto* position = new QHBoxLayout;
  position->addWidget(new QLabel("Position:", this));
  position->addWidget(x_);
  position->addWidget(new QLabel(",", this));
  position->addWidget(y_);
  position->addStretch(1);
  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(new QLabel("Transparent colour:", this));
  colourRow->addWidget(colour_);
  colourRow->addWidget(colourFromLogo_);
  colourRow->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(useLogo_);
  layout->addLayout(position);
  layout->addWidget(logo_);
  layout->addWidget(transparent_);
  layout->addLayout(colourRow);
  layout->addWidget(buttons);
  ShowLogo();
  ShowColour();
  UpdateEnables();
}

CompanyLogoDialog CompanyLogoDlg::Rules() const {
  rules_.useLogo = useLogo_->isChecked();
  rules_.transparent = transparent_->isChecked();
  rules_.colourFromLogo = colourFromLogo_->isChecked();
  rules_.xText = x_->text().toStdString();
  rules_.yText = y_->text().toStdString();
  return rules_;
}

void CompanyLogoDlg::ChooseLogoFile(const QString& path) {
  rules_.ChooseLogoFile(path.toStdString());
  ShowLogo();
}

void CompanyLogoDlg::PickColour(int index) {
  if (rules_.PickColour(index)) ShowColour();
}

void CompanyLogoDlg::UpdateEnables() {
  Rules();
  x_->setEnabled(rules_.PositionEnabled());
  y_->setEnabled(rules_.PositionEnabled());
  transparent_->setEnabled(rules_.TransparentEnabled());
  logo_->setEnabled(rules_.LogoButtonEnabled());
  colour_->setEnabled(rules_.ColourButtonEnabled());
  colourFromLogo_->setEnabled(rules_.ColourFromLogoEnabled());
}

void CompanyLogoDlg::ShowLogo() {
  // The button shows the logo picture; a file that cannot be read (the placeholder among
  // them) shows its name instead.
  const std::string file = rules_.LogoFile();
  CBmp picture;
  QImage image;
  if (picture.Load(file)) image = RenderPicture(picture, palette().button().color());
  if (!image.isNull()) {
    logo_->setText({});
    logo_->setIcon(QPixmap::fromImage(image.scaled(kLogoButtonSize, kLogoButtonSize,
                                                   Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  } else {
    logo_->setIcon({});
    logo_->setText(file == "<LOGO" ? QString("Choose a logo...")
                                   : QFileInfo(QString::fromStdString(file)).fileName());
  }
  logo_->setToolTip(QString::fromStdString(file));
}

void CompanyLogoDlg::ShowColour() {
  colour_->setIcon(Swatch(rules_.colour, QSize(40, 14)));
  colour_->setToolTip(QString::fromStdString(rules_.ColourCaption()));
}

}  // namespace quendrolix::app
