#include "frame_replication_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace quendrolix::app {

FrameReplicationDlg::FrameReplicationDlg(CFramewrightDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle("Frame Replication");
  FrameReplicationDialog rules = FrameReplicationDialog::ForProject(doc);
  count_ = new SpinEdit(FrameReplicationDialog::kSpinMin, FrameReplicationDialog::kSpinMax, this);
  count_->setText(QString::fromStdString(rules.countText));

  auto* modeBox = new QGroupBox("Frames", this);
  auto* modeLayout = new QVBoxLayout(modeBox);
  modes_[0] = new QRadioButton("Set for all images", modeBox);
  modes_[1] = new QRadioButton("Add to current settings", modeBox);
  modeLayout->addWidget(modes_[0]);
  modeLayout->addWidget(modes_[1]);
  modes_[static_cast<int>(rules.mode)]->setChecked(true);

  saveAsDefault_ = new QPushButton("Save as default", this);
  saveAsDefault_->setAutoDefault(false);
  connect(saveAsDefault_, &QPushButton::clicked, this, [this] { Rules().SaveAsDefault(doc_); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow("Number of frames:", count_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(modeBox);
  layout->addWidget(saveAsDefault_);
  layout->addWidget(buttons);
}

FrameReplicationDialog FrameReplicationDlg::Rules() const {
  FrameReplicationDialog rules;
  rules.countText = count_->text().toStdString();
  rules.mode =
      modes_[1]->isChecked() ? ReplicationMode::kAddToCurrent : ReplicationMode::kSetForAll;
  return rules;
}

void FrameReplicationDlg::accept() {
  FrameReplicationDialog rules = Rules();
  rules.Apply(doc_);
  count_->setText(QString::fromStdString(rules.countText));
  QDialog::accept();
}

}  // namespace quendrolix::app
