// The main window: the result panel and the graph view side by side in an
// upper row of fixed height, the data view below, the menu, the toolbar and
// the status bar. Commands live in a table of handlers with enable rules;
// the rules are evaluated whenever a menu opens and on an idle timer, so a
// run that starts or ends greys and ungreys them without further action.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <functional>
#include <map>

#include "core/app_state.h"
#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CResultView;
class CGraphView;
class CDataView;

// What the window says when it is asked, from outside its menus, for
// something a run does not allow (a data file handed to it, for one): the
// menus grey such commands out. A warning with the caption given.
Message RunActiveMessage(std::string caption);

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kUpperRowHeight = 339;
  static constexpr int kLeftColumnWidth = 200;
  static constexpr int kMinWidth = 500;
  static constexpr int kMinHeight = 453;
  static constexpr int kIdleMs = 250;

  // When a command may run while a discharge run is active.
  enum class RunRule {
    kNoRun,       // disabled during a run
    kAlways,      // enabled during a run too
    kOnlyDuring,  // enabled only during a run
  };

  // When the constructor builds the window's contents (panes, commands,
  // menus, toolbar, status bar). Start-up maps the bare window first and
  // builds them from the event loop: they need the font database, whose
  // loading is most of the time before the window shows.
  enum class Contents { kNow, kLater };

  CMainFrame(CAppState& app, CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent = nullptr,
             Contents contents = Contents::kNow);
  ~CMainFrame() override;

  // Builds the contents left for later; nothing when they exist.
  void BuildContents();
  bool HasContents() const { return outer_ != nullptr; }

  // Puts a command into the table: what it does and when it is enabled (on
  // top of its run rule). A command without a handler stays disabled.
  void SetCommand(int id, std::function<void()> run, std::function<bool()> enabled = {},
                  RunRule rule = RunRule::kNoRun);
  // Makes a command a check mark in its menu: `checked` says whether it is
  // on, read with the enable rules.
  void SetChecked(int id, std::function<bool()> checked);
  bool HasCommand(int id) const { return commands_.count(id) != 0; }
  bool IsCommandEnabled(int id) const;
  // Runs a command as its menu entry would (nothing when disabled).
  void OnCommand(int id);
  // Evaluates every enable rule into the menu and toolbar.
  void UpdateCommandStates();

  // The menu entry, toolbar button or accelerator of a command id.
  QAction* Action(int id) const;
  QMenuBar* Menus() const { return menuBar(); }
  QToolBar* ToolBar() const { return toolBar_; }

  CResultView* ResultView() const { return result_; }
  CGraphView* GraphView() const { return graph_; }
  CDataView* DataView() const { return data_; }
  QSplitter* OuterSplitter() const { return outer_; }
  QSplitter* InnerSplitter() const { return inner_; }
  QWidget* UpperRow() const { return inner_; }

  // Status bar pane 1 (run state texts) and pane 2 (fixed caption).
  void SetRunStatus(const QString& text);
  QLabel* RunStatusPane() const { return runStatus_; }
  QLabel* CaptionPane() const { return caption_; }

  // Loads the settings into the state and the views and resets the current
  // measurement (start-up does this once, after the panes exist).
  void LoadSettings();

  // Next and previous pane (F6, Shift+F6).
  void FocusPane(int step);

 signals:
  // A command is about to run (OnCommand, enabled).
  void CommandStarting(int id);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Command {
    std::function<void()> run;
    std::function<bool()> enabled;
    RunRule rule = RunRule::kNoRun;
    std::function<bool()> checked;  // set for a check-mark command
  };

  void BuildPanes();
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void BuildAccelerators();
  void RegisterDocumentCommands();
  void OnRefreshViews(int flags);
  std::vector<int> SelectedRows() const;
  // Whether the data view's list has the keyboard focus; while the menu bar
  // or a menu holds it (keyboard menu navigation), the widget that had it.
  bool DataListHasFocus() const;
  void ShowAbout();

  CAppState& app_;
  CBrenlowDoc& doc_;
  IUserInterface& ui_;

  QSplitter* outer_ = nullptr;
  QSplitter* inner_ = nullptr;
  CResultView* result_ = nullptr;
  CGraphView* graph_ = nullptr;
  CDataView* data_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* runStatus_ = nullptr;
  QLabel* caption_ = nullptr;
  QTimer idle_;
  // The widget that had the keyboard focus before the menu bar took it.
  QPointer<QWidget> lastFocus_;

  std::map<int, QAction*> actions_;
  std::map<int, Command> commands_;
};

}  // namespace qv::ui
