// The merge dialog ("データファイルを合成"): merges another data file, or the
// automatic backup, into the open document. The dialog shows the choice of
// source and the path; every check, question and change is the model's.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/user_interface.h"
#include "data/merge.h"

namespace qv::ui {

class CMergeDialog : public QDialog {
  Q_OBJECT
 public:
  // `model` has been opened (mode and path as the dialog starts with).
  CMergeDialog(CMergeModel& model, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally; true when it closed by a completed merge.
  bool Run();

  QLabel* ExplanationLabel() const { return explanation_; }
  QRadioButton* FileChoice() const { return fileChoice_; }
  QLabel* FileLabel() const { return fileLabel_; }
  QLineEdit* PathEdit() const { return path_; }
  QPushButton* BrowseButton() const { return browse_; }
  QRadioButton* BackupChoice() const { return backupChoice_; }
  QLabel* NoteLabel() const { return note_; }
  QPushButton* MergeButton() const { return merge_; }
  QPushButton* CancelButton() const { return cancel_; }

  // The buttons' actions.
  void OnBrowse();
  void OnMerge();

 private:
  // The model's mode into the radio buttons and the enabled controls.
  void ShowMode();
  // The radio buttons and the path field into the model.
  void ReadFields();

  CMergeModel& model_;
  IUserInterface& ui_;
  QLabel* explanation_ = nullptr;
  QRadioButton* fileChoice_ = nullptr;
  QLabel* fileLabel_ = nullptr;
  QLineEdit* path_ = nullptr;
  QPushButton* browse_ = nullptr;
  QRadioButton* backupChoice_ = nullptr;
  QLabel* note_ = nullptr;
  QPushButton* merge_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace qv::ui
