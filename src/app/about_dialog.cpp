#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/file_info.h"

namespace qv::ui {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("製品情報"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* logo = new QLabel(this);
  logo->setPixmap(QPixmap(QStringLiteral(":/quorvex/images/logo.png")));
  logo->setAlignment(Qt::AlignTop);

  name_ = new QLabel(QStringLiteral("Quorvex"), this);
  QFont big = name_->font();
  big.setBold(true);
  big.setPixelSize(big.pixelSize() > 0 ? big.pixelSize() + 4 : 16);
  name_->setFont(big);
  version_ =
      new QLabel(QStringLiteral("Version ") + QString::fromStdString(ProgramVersionText()), this);

  const QString url = QString::fromLatin1(kMakerUrl);
  link_ = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), this);
  link_->setTextFormat(Qt::RichText);
  link_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  link_->setOpenExternalLinks(true);
  link_->setCursor(Qt::PointingHandCursor);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name_);
  texts->addWidget(version_);
  texts->addSpacing(6);
  texts->addWidget(link_);
  texts->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(logo);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qv::ui
