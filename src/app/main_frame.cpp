#include "app/main_frame.h"
#include "app/lazy_icon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

#include "app/about_dialog.h"
#include "app/analysis_commands.h"
#include "app/catalog_commands.h"
#include "app/command_ids.h"
#include "app/dialogs/registration_dialog.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/match_commands.h"
#include "app/preset_commands.h"
#include "app/print_commands.h"
#include "app/run_controller.h"
#include "app/view_commands.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "views/data_view.h"
#include "views/graph_view.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::ui {

namespace {

// Status bar pane 2: a fixed caption.
constexpr char kCaptionText[] = "ORVANTIS";

// The splitter bar between the upper row and the data view: shown, but it
// does not move.
void FreezeHandle(QSplitter* splitter, int index) {
  QSplitterHandle* h = splitter->handle(index);
  if (!h) return;
  h->setEnabled(false);
  h->setCursor(Qt::ArrowCursor);
}

}  // namespace

CMainFrame::CMainFrame(CAppState& app, CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent,
                       Contents contents)
    : QMainWindow(parent), app_(app), doc_(doc), ui_(ui) {
  setWindowTitle(QStringLiteral("Quorvex"));
  setMinimumSize(kMinWidth, kMinHeight);
  // Wide enough for every data view column where the screen allows it.
  QSize size(1080, 720);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableSize());
  resize(size.expandedTo(minimumSize()));
  if (contents == Contents::kNow) BuildContents();
}

void CMainFrame::BuildContents() {
  if (HasContents()) return;
  BuildPanes();
  LoadSettings();
  BuildActions();
  RegisterDocumentCommands();
  WireRunCommands(*this, doc_, ui_);
  WirePrintCommands(*this, doc_, ui_);
  WireExportCommands(*this, doc_, ui_);
  WireAnalysisCommands(*this, doc_, ui_);
  WirePresetCommands(*this, doc_, ui_);
  WireFileCommands(*this, doc_, ui_);
  WireMatchCommands(*this, doc_, ui_);
  WireCatalogCommands(*this, doc_, ui_);
  WireViewCommands(*this, app_);
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildAccelerators();

  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && !qobject_cast<QMenuBar*>(now) && !qobject_cast<QMenu*>(now)) lastFocus_ = now;
  });
  connect(&idle_, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
  idle_.start(kIdleMs);
  UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
  idle_.stop();
  // The panes go with the window; the document must not call them after.
  doc_.SetRefreshHandler({});
}

// --- Panes ----------------------------------------------------------------------

void CMainFrame::BuildPanes() {
  outer_ = new QSplitter(Qt::Vertical, this);
  outer_->setObjectName(QStringLiteral("outerSplitter"));
  outer_->setChildrenCollapsible(false);
  inner_ = new QSplitter(Qt::Horizontal, outer_);
  inner_->setObjectName(QStringLiteral("innerSplitter"));
  inner_->setChildrenCollapsible(false);

  result_ = new CResultView(doc_, inner_);
  graph_ = new CGraphView(doc_, inner_);
  data_ = new CDataView(doc_, outer_);
  result_->setMinimumWidth(20);
  graph_->setMinimumWidth(20);
  // The data view gives way to the upper row when the window is low: its
  // list may shrink to nothing rather than push under the upper row.
  for (QWidget* w : {static_cast<QWidget*>(data_), static_cast<QWidget*>(data_->List()),
                     static_cast<QWidget*>(data_->List()->Table())})
    w->setMinimumHeight(1);

  inner_->addWidget(result_);
  inner_->addWidget(graph_);
  inner_->setStretchFactor(0, 0);
  inner_->setStretchFactor(1, 1);
  inner_->setSizes({kLeftColumnWidth, 800});

  // The upper row keeps its height whatever the window's size.
  inner_->setFixedHeight(kUpperRowHeight);
  outer_->addWidget(inner_);
  outer_->addWidget(data_);
  outer_->setStretchFactor(0, 0);
  outer_->setStretchFactor(1, 1);
  FreezeHandle(outer_, 1);
  setCentralWidget(outer_);

  result_->SetUserInterface(&ui_);
  graph_->SetUserInterface(&ui_);
  data_->SetUserInterface(&ui_);
  graph_->SetStatusHandler([this](const QString& text) { SetRunStatus(text); });
  doc_.SetRefreshHandler([this](int flags) { OnRefreshViews(flags); });
}

void CMainFrame::LoadSettings() {
  app_.LoadSettings();
  graph_->ApplySettings(app_.graph);
  graph_->SetVoltStrip(app_.graphVoltStrip);
  data_->List()->SetColumnsMovable(app_.viewMoveColumn);
  // The measurement panel starts from the loaded input defaults; this is not
  // a change of the data.
  const bool modified = doc_.IsModified();
  doc_.ResetCurrent();
  doc_.SetModified(modified);
  OnRefreshViews(kRefreshAll);
}

void CMainFrame::OnRefreshViews(int flags) {
  if (flags & kRefreshResult) result_->Refresh();
  if (flags & kRefreshGraph) graph_->Refresh();
  if (flags & kRefreshData) data_->Refresh();
}

// --- Commands -----------------------------------------------------------------

Message RunActiveMessage(std::string caption) {
  return {Sj("放電と計測の実行中は、この操作はできません。\n\n（※放電と計測が終わってから、もう一度"
             "行ってください。）"),
          std::move(caption), MsgIcon::kWarning, MsgButtons::kOk, std::nullopt};
}

void CMainFrame::BuildActions() {
  for (const CommandText& t : CommandTexts()) {
    auto* a = new QAction(U8(t.caption), this);
    a->setStatusTip(U8(t.prompt));
    a->setToolTip(U8(t.tooltip));
    a->setData(t.id);
    if (t.icon)
      a->setIcon(LazyIcon(QStringLiteral(":/quorvex/images/%1.png").arg(QLatin1String(t.icon))));
    a->setEnabled(false);
    const int id = t.id;
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = a;
  }
}

void CMainFrame::SetCommand(int id, std::function<void()> run, std::function<bool()> enabled,
                            RunRule rule) {
  std::function<bool()> checked = std::move(commands_[id].checked);
  commands_[id] = Command{std::move(run), std::move(enabled), rule, std::move(checked)};
}

void CMainFrame::SetChecked(int id, std::function<bool()> checked) {
  commands_[id].checked = std::move(checked);
}

bool CMainFrame::IsCommandEnabled(int id) const {
  auto it = commands_.find(id);
  if (it == commands_.end() || !it->second.run) return false;
  const bool running = app_.runActive.load();
  switch (it->second.rule) {
    case RunRule::kNoRun:
      if (running) return false;
      break;
    case RunRule::kOnlyDuring:
      if (!running) return false;
      break;
    case RunRule::kAlways:
      break;
  }
  return !it->second.enabled || it->second.enabled();
}

void CMainFrame::OnCommand(int id) {
  if (!IsCommandEnabled(id)) return;
  emit CommandStarting(id);
  // Copy: a handler may replace the table entry.
  const std::function<void()> run = commands_[id].run;
  run();
  UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
  for (auto& [id, action] : actions_) {
    const bool on = IsCommandEnabled(id);
    if (action->isEnabled() != on) action->setEnabled(on);
    auto it = commands_.find(id);
    if (it == commands_.end() || !it->second.checked) continue;
    action->setCheckable(true);
    const bool checked = it->second.checked();
    if (action->isChecked() != checked) action->setChecked(checked);
  }
}

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

std::vector<int> CMainFrame::SelectedRows() const {
  return data_->SelectedRowKeys();
}

bool CMainFrame::DataListHasFocus() const {
  QWidget* f = QApplication::focusWidget();
  if (!f || qobject_cast<QMenuBar*>(f) || qobject_cast<QMenu*>(f)) f = lastFocus_.data();
  QWidget* table = data_->List()->Table();
  return f && (f == table || table->isAncestorOf(f));
}

void CMainFrame::RegisterDocumentCommands() {
  using R = RunRule;
  SetCommand(kCmdOpen, [this] { CmdOpen(doc_, ui_); });
  SetCommand(kCmdSave, [this] { CmdSave(doc_, ui_); });
  SetCommand(
      kCmdExit, [this] { close(); }, {}, R::kAlways);

  SetCommand(
      kCmdRegister,
      [this] {
        CmdRegister(doc_, [this](CBrenlowDoc& d) {
          CRegistrationDialog dlg(d, ui_, this);
          return dlg.Run();
        });
      },
      [this] { return CanRegister(doc_); });
  SetCommand(
      kCmdDelete, [this] { CmdDelete(doc_, ui_, SelectedRows(), DataListHasFocus()); },
      [this] { return CanDelete(doc_, SelectedRows(), DataListHasFocus()); });
  SetCommand(
      kCmdChangeId,
      [this] {
        CmdChangeId(doc_, ui_, SelectedRows(), DataListHasFocus(),
                    [this](CBrenlowDoc& d, CMeasureData& record) {
                      CIdChangeDialog dlg(d, record, ui_, this);
                      return dlg.Run();
                    });
      },
      [this] { return CanChangeId(doc_, SelectedRows(), DataListHasFocus()); });
  SetCommand(kCmdClearPanel, [this] { CmdClearPanel(doc_, ui_); });
  SetCommand(
      kCmdRemoveOverlays, [this] { CmdRemoveOverlays(doc_); },
      [this] { return CanRemoveOverlays(doc_); });
  SetCommand(
      kCmdRestoreWidths, [this] { data_->RestoreColumnWidths(); }, {}, R::kAlways);
  SetCommand(
      kCmdAbout, [this] { ShowAbout(); }, {}, R::kAlways);

  // Accelerators of the standard commands.
  SetCommand(
      kCmdFileOpen, [this] { OnCommand(kCmdOpen); }, [this] { return IsCommandEnabled(kCmdOpen); },
      R::kAlways);
  SetCommand(
      kCmdFileSave, [this] { OnCommand(kCmdSave); }, [this] { return IsCommandEnabled(kCmdSave); },
      R::kAlways);
  SetCommand(
      kCmdNextPane, [this] { FocusPane(1); }, {}, R::kAlways);
  SetCommand(
      kCmdPrevPane, [this] { FocusPane(-1); }, {}, R::kAlways);
}

// --- Menu, toolbar, status bar ----------------------------------------------------

void CMainFrame::BuildMenus() {
  for (const MenuText& m : MenuLayout()) {
    QMenu* menu = menuBar()->addMenu(U8(m.caption));
    for (int id : m.entries) {
      if (id == 0)
        menu->addSeparator();
      else
        menu->addAction(actions_.at(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  }
}

void CMainFrame::BuildToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("mainToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setIconSize(QSize(16, 15));
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolBar_->toggleViewAction()->setEnabled(false);
  for (int id : ToolbarLayout()) {
    if (id == 0)
      toolBar_->addSeparator();
    else
      toolBar_->addAction(actions_.at(id));
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  runStatus_ = new QLabel(bar);
  runStatus_->setObjectName(QStringLiteral("runStatusPane"));
  runStatus_->setFixedWidth(80);
  runStatus_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  caption_ = new QLabel(QString::fromLatin1(kCaptionText), bar);
  caption_->setObjectName(QStringLiteral("captionPane"));
  caption_->setFixedWidth(100);
  caption_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(runStatus_);
  bar->addPermanentWidget(caption_);
  SetRunStatus(QString());
}

void CMainFrame::SetRunStatus(const QString& text) {
  if (runStatus_ && runStatus_->text() != text) runStatus_->setText(text);
}

void CMainFrame::BuildAccelerators() {
  // Cut, copy, paste and undo (with their alternative keys) belong to the
  // in-place editors, which handle them themselves; new has no handler here.
  const struct {
    int id;
    QKeySequence keys;
  } accels[] = {
      {kCmdFileOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {kCmdFileSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {kCmdNextPane, QKeySequence(Qt::Key_F6)},
      {kCmdPrevPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)},
  };
  for (const auto& acc : accels) {
    auto* a = new QAction(this);
    a->setShortcut(acc.keys);
    a->setShortcutContext(Qt::WindowShortcut);
    const int id = acc.id;
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    addAction(a);
    actions_[id] = a;
  }
}

void CMainFrame::FocusPane(int step) {
  QWidget* panes[] = {result_->List()->Table(), graph_, data_->List()->Table()};
  constexpr int n = 3;
  int current = -1;
  QWidget* focus = QApplication::focusWidget();
  for (int i = 0; i < n; ++i) {
    if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus))) current = i;
  }
  const int next = current < 0 ? (step > 0 ? 0 : n - 1) : (current + step + n) % n;
  panes[next]->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ShowAbout() {
  CAboutDialog dlg(this);
  dlg.exec();
}

// --- Closing ------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (app_.runActive.load()) {
    event->ignore();
    return;
  }
  if (doc_.IsModified()) {
    const MsgResult r =
        ui_.ShowMessage({Sj("変更のあるデータを保存せず終了しますか？"), Sj("ｱﾌﾟﾘｹｰｼｮﾝの終了"),
                         MsgIcon::kQuestion, MsgButtons::kOkCancel, MsgResult::kCancel});
    if (r != MsgResult::kOk) {
      event->ignore();
      return;
    }
  }
  idle_.stop();
  event->accept();
}

}  // namespace qv::ui
