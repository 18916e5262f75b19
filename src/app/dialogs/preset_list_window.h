// The table and the three buttons that both preset list windows share: the
// list's inside at (14, 10)-(right, 245) of the client area (its frame
// around it), a "No." column 28 pixels wide, the action, delete and close
// buttons under it, and an editable comment column.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "views/report_ctrl.h"

namespace qv::ui {

struct PresetListWindow {
  CReportCtrl* table = nullptr;
  QPushButton* action = nullptr;  // the default button ("…に設定", "…にする")
  QPushButton* remove = nullptr;
  QPushButton* close = nullptr;
};

struct PresetListActions {
  std::function<void()> buildColumns;
  std::function<void()> fillRows;
  std::function<bool(int column)> canEdit;
  std::function<void(size_t entry, const std::string& text)> setComment;
  std::function<void()> onAction;  // button, Enter and double-click
  std::function<void()> onDelete;
};

// Builds the window's widgets; `right` is the table's right edge. The caller
// keeps the table and then fills it with Refresh(false).
PresetListWindow BuildPresetListWindow(QDialog& dialog, const std::string& caption,
                                       const std::string& actionText, const std::string& removeText,
                                       const std::string& closeText, int right,
                                       PresetListActions actions);

// One table row per entry, from the entry's cell texts.
void FillPresetRows(CReportCtrl& table, size_t count,
                    const std::function<std::vector<std::string>(size_t entry)>& cells);

// The entry of the first selected row, if any.
std::optional<size_t> SelectedPresetEntry(const CReportCtrl& table);

// The buttons of a settings dialog with a preset list.
struct PresetSettingsButtons {
  QPushButton* ok = nullptr;  // the default button
  QPushButton* cancel = nullptr;
  QPushButton* add = nullptr;     // "一覧に登録"
  QPushButton* choose = nullptr;  // "一覧から選択"
};

// Lays out a settings dialog: `left` top to bottom, and 8 pixels to its
// right a column of OK, Cancel, a gap and the two list buttons; the dialog
// keeps the size of its contents. Cancel rejects the dialog.
PresetSettingsButtons LayOutPresetSettings(QDialog& dialog, const std::vector<QWidget*>& left,
                                           const std::string& okText, const std::string& cancelText,
                                           const std::string& addText,
                                           const std::string& chooseText);

}  // namespace qv::ui
