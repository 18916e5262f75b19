// The about box: product name, version and a link to the maker's page.
#pragma once

#include <QDialog>
#include <QLabel>

namespace qv::ui {

// The address behind the about box's link.
inline constexpr char kMakerUrl[] = "https://www.orvantis.example/quorvex/";

class CAboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDialog(QWidget* parent);

  QLabel* NameLabel() const { return name_; }
  QLabel* VersionLabel() const { return version_; }
  QLabel* LinkLabel() const { return link_; }

 private:
  QLabel* name_;
  QLabel* version_;
  QLabel* link_;
};

}  // namespace qv::ui
