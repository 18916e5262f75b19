#include "app/dialogs/preset_list_window.h"

#include <QHBoxLayout>
#include <QTableView>
#include <QVBoxLayout>

#include "views/qt_text.h"

namespace qv::ui {

PresetListWindow BuildPresetListWindow(QDialog& dialog, const std::string& caption,
                                       const std::string& actionText, const std::string& removeText,
                                       const std::string& closeText, int right,
                                       PresetListActions actions) {
  PresetListWindow w;
  dialog.setWindowTitle(ToQt(caption));
  dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  w.table = new CReportCtrl(&dialog);
  // The rectangle is the list's inside, which the columns fill exactly; its
  // frame lies around it.
  const int frame = w.table->Table()->frameWidth();
  w.table->setGeometry(14 - frame, 10 - frame, right - 14 + 2 * frame, 245 - 10 + 2 * frame);
  w.table->SetSortingEnabled(false);
  w.table->SetRowNumberWidth(28);
  ReportHooks hooks;
  hooks.buildColumns = actions.buildColumns;
  hooks.fillRows = actions.fillRows;
  hooks.rowDoubleClick = [onAction = actions.onAction](int rowKey) {
    if (rowKey >= 0) onAction();
  };
  hooks.canBeginEdit = [canEdit = actions.canEdit](int, int column) {
    return canEdit(column) ? EditKind::kBox : EditKind::kRefuse;
  };
  hooks.commitEdit = [canEdit = actions.canEdit, setComment = actions.setComment](
                         int rowKey, int column, const std::string& text) {
    if (rowKey < 0 || !canEdit(column)) return false;
    setComment(static_cast<size_t>(rowKey), text);
    return true;
  };
  w.table->SetHooks(std::move(hooks));

  w.action = new QPushButton(ToQt(actionText), &dialog);
  w.action->setDefault(true);
  w.remove = new QPushButton(ToQt(removeText), &dialog);
  w.close = new QPushButton(ToQt(closeText), &dialog);
  const int bw = 120, bh = 26, y = 256;
  w.action->setGeometry(14, y, bw, bh);
  w.remove->setGeometry(14 + bw + 8, y, bw, bh);
  w.close->setGeometry(right - bw, y, bw, bh);
  dialog.setFixedSize(right + 14, y + bh + 12);

  QObject::connect(w.action, &QPushButton::clicked, &dialog, actions.onAction);
  QObject::connect(w.remove, &QPushButton::clicked, &dialog, actions.onDelete);
  QObject::connect(w.close, &QPushButton::clicked, &dialog, &QDialog::reject);
  return w;
}

void FillPresetRows(CReportCtrl& table, size_t count,
                    const std::function<std::vector<std::string>(size_t entry)>& cells) {
  for (size_t i = 0; i < count; ++i) {
    const int key = table.InsertRow();
    const std::vector<std::string> texts = cells(i);
    for (size_t c = 0; c < texts.size(); ++c)
      table.SetCellText(key, static_cast<int>(c), texts[c]);
  }
}

std::optional<size_t> SelectedPresetEntry(const CReportCtrl& table) {
  const int key = table.GetFirstSelectedRow();
  if (key < 0) return std::nullopt;
  return static_cast<size_t>(key);
}

PresetSettingsButtons LayOutPresetSettings(QDialog& dialog, const std::vector<QWidget*>& left,
                                           const std::string& okText, const std::string& cancelText,
                                           const std::string& addText,
                                           const std::string& chooseText) {
  PresetSettingsButtons b;
  b.ok = new QPushButton(ToQt(okText), &dialog);
  b.ok->setDefault(true);
  b.cancel = new QPushButton(ToQt(cancelText), &dialog);
  b.add = new QPushButton(ToQt(addText), &dialog);
  b.choose = new QPushButton(ToQt(chooseText), &dialog);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(b.ok);
  buttons->addWidget(b.cancel);
  buttons->addSpacing(12);
  buttons->addWidget(b.add);
  buttons->addWidget(b.choose);
  buttons->addStretch(1);

  auto* column = new QVBoxLayout;
  for (QWidget* w : left)
    column->addWidget(w);
  auto* layout = new QHBoxLayout(&dialog);
  layout->addLayout(column);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  QObject::connect(b.cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return b;
}

}  // namespace qv::ui
