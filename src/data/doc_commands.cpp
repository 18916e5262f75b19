#include "data/doc_commands.h"

#include <unistd.h>

#include <algorithm>

#include "core/safe_file.h"
#include "core/settings_keys.h"
#include "data/archive.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {
namespace {

bool HasPoints(const CBrenlowDoc& doc) {
  std::lock_guard<std::mutex> guard(doc.Lock());
  return !doc.Current().IsEmpty();
}

// Step 2 of Clear panel, shared with the input-defaults re-initialisation.
void ClearCurrent(CBrenlowDoc& doc) {
  doc.ResetCurrent();
  doc.RefreshViews(kRefreshResult | kRefreshGraph);
  doc.SetModified();
}

std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::string cwd = CurrentDirectory();
  return cwd + path;
}

void RememberFile(CBrenlowDoc& doc, const std::string& path) {
  CAppState& app = doc.App();
  app.fileName = PathFileName(path);
  app.filePath = path;
  app.settings.SetMany(
      {{keys::kFilePath, Utf8ToCp932(app.filePath)}, {keys::kFileName, Utf8ToCp932(app.fileName)}});
}

}  // namespace

std::string DataFileFilter() {
  return Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|");
}

FileDialogRequest DataFileRequest(std::string proposedName, std::string startDirectory) {
  FileDialogRequest req;
  req.filter = DataFileFilter();
  req.defaultExtension = kDataFileExtension;
  req.proposedName = std::move(proposedName);
  req.startDirectory = std::move(startDirectory);
  return req;
}

std::string LastFileName(const CAppState& app) {
  return Cp932ToUtf8(app.settings.Get(keys::kFileName));
}

std::string LastFilePath(const CAppState& app) {
  return Cp932ToUtf8(app.settings.Get(keys::kFilePath));
}

// --- Enable rules -----------------------------------------------------------

bool CanEditDocument(const CBrenlowDoc& doc) {
  return !doc.App().runActive.load();
}

bool CanRegister(const CBrenlowDoc& doc) {
  return CanEditDocument(doc) && HasPoints(doc);
}

bool CanDelete(const CBrenlowDoc& doc, const std::vector<int>& selectedRows, bool listHasFocus) {
  return CanEditDocument(doc) && listHasFocus && !selectedRows.empty();
}

bool CanChangeId(const CBrenlowDoc& doc, const std::vector<int>& selectedRows, bool listHasFocus) {
  return CanEditDocument(doc) && listHasFocus && selectedRows.size() == 1;
}

bool CanRemoveOverlays(const CBrenlowDoc& doc) {
  return CanEditDocument(doc) && doc.DisplayList().size() >= 2;
}

// --- Register ---------------------------------------------------------------

bool CmdRegister(CBrenlowDoc& doc, const RegisterDialogFn& dialog) {
  std::optional<RegistrationId> id = dialog(doc);
  if (!id) return false;
  RegisterAccepted(doc, *id);
  return true;
}

CMeasureData* RegisterAccepted(CBrenlowDoc& doc, const RegistrationId& id) {
  doc.SetModified();
  doc.ResetDisplayList();
  std::unique_ptr<CMeasureData> rec;
  {
    std::lock_guard<std::mutex> guard(doc.Lock());
    rec = std::make_unique<CMeasureData>(doc.Current());
  }
  rec->UpdateAvgVolt3(doc.App().avg3);
  rec->SetId(id);
  CMeasureData* raw = doc.InsertRegistered(std::move(rec));
  // The data view's rebuild gives the record its row key; then it is overlaid.
  doc.RefreshViews(kRefreshData);
  if (doc.ToggleOverlay(raw)) doc.RefreshViews(kRefreshAll);
  doc.ResetCurrent();
  doc.RefreshViews(kRefreshResult | kRefreshGraph);
  return raw;
}

// --- Delete -----------------------------------------------------------------

bool CmdDelete(CBrenlowDoc& doc, IUserInterface& ui, const std::vector<int>& selectedRows,
               bool listHasFocus) {
  if (!listHasFocus) return false;
  std::vector<CMeasureData*> chosen;
  for (int key : selectedRows) {
    CMeasureData* r = doc.FindByRowKey(key);
    // A record is deleted once even if two rows lead to it.
    if (r && std::find(chosen.begin(), chosen.end(), r) == chosen.end()) chosen.push_back(r);
  }
  if (chosen.empty()) return false;
  std::string text;
  if (chosen.size() == 1) {
    const CMeasureData& r = *chosen.front();
    text = Format(Sj("選択中の登録データ\n　ID %s (%s)\n"), r.Id().Text(), r.GetDateTimeText());
  } else {
    text = Format(Sj("選択中の %d個の登録データ"), static_cast<int>(chosen.size()));
  }
  text += Sj("を削除します。よろしいですか？\n（削除したデータは元に戻せません）");
  Message m{text, Sj("登録データの削除"), MsgIcon::kWarning, MsgButtons::kOkCancel, std::nullopt};
  if (ui.ShowMessage(m) != MsgResult::kOk) return false;
  doc.SetModified();
  for (CMeasureData* r : chosen)
    doc.RemoveRegistered(r);  // the returned ownership deletes the record
  doc.RefreshViews(kRefreshAll);
  return true;
}

// --- Change ID ----------------------------------------------------------------

bool CmdChangeId(CBrenlowDoc& doc, IUserInterface& ui, const std::vector<int>& selectedRows,
                 bool listHasFocus, const IdChangeDialogFn& dialog) {
  if (!listHasFocus || selectedRows.empty()) return false;
  CMeasureData* rec = doc.FindByRowKey(selectedRows.front(), true);
  if (!rec) return false;
  std::optional<RegistrationId> id = dialog(doc, *rec);
  if (!id) return false;
  doc.ChangeRegisteredId(rec, *id);
  doc.RefreshViews(kRefreshAll);
  ui.Tell(Sj("登録IDを変更しました。"), Sj("登録IDの変更"), MsgIcon::kInformation);
  return true;
}

// --- Clear panel, overlays ------------------------------------------------------

bool CmdClearPanel(CBrenlowDoc& doc, IUserInterface& ui) {
  Message m{
      Sj("計測データ欄をクリアします。よろしいですか？\n（クリアしたデータは元に戻せません）"),
      Sj("計測データ欄をクリア"), MsgIcon::kWarning, MsgButtons::kOkCancel, std::nullopt};
  if (ui.ShowMessage(m) != MsgResult::kOk) return false;
  ClearCurrent(doc);
  return true;
}

void CmdRemoveOverlays(CBrenlowDoc& doc) {
  doc.ResetDisplayList();
  doc.RefreshViews(kRefreshAll);
}

// --- Open ---------------------------------------------------------------------

namespace {

// Unsaved changes are given up only when the user says so.
bool MayReplaceDocument(CBrenlowDoc& doc, IUserInterface& ui) {
  if (!doc.IsModified()) return true;
  Message m{Sj("変更されたデータがあります。\n保存せずにデータファイルを開きますか？"),
            Sj("データファイルを開く"), MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
  return ui.ShowMessage(m) == MsgResult::kOk;
}

}  // namespace

bool CmdOpen(CBrenlowDoc& doc, IUserInterface& ui) {
  if (!MayReplaceDocument(doc, ui)) return false;
  std::optional<std::string> path = ui.ChooseOpenFile(
      DataFileRequest(LastFileName(doc.App()), PathFolder(LastFilePath(doc.App()))));
  if (!path || path->empty()) return false;
  return OpenDataFile(doc, ui, *path);
}

bool OpenNamedFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& path) {
  return MayReplaceDocument(doc, ui) && OpenDataFile(doc, ui, path);
}

bool OpenDataFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& chosen) {
  const std::string path = Absolute(chosen);
  bool read = false;
  int fd = OpenRegularFile(path);
  if (fd < 0) {
    ui.Tell(Sj("データファイルが開けません。"), Sj("データファイルを開く"), MsgIcon::kError);
  } else {
    ArchiveReader ar(fd);
    DataFileReadResult r = doc.Load(ar);
    ::close(fd);
    if (!r.ok()) ui.Tell(r.error, Sj("データファイル読み込み"), MsgIcon::kWarning);
    // An unsupported version has emptied the document: it now belongs to the
    // chosen file. A damaged file left the document as it was.
    if (r.ok() || r.kind == DataFileError::kVersion) RememberFile(doc, path);
    read = r.ok();
  }
  doc.RefreshViews(kRefreshGraph);
  return read;
}

// --- Save ---------------------------------------------------------------------

bool CmdSave(CBrenlowDoc& doc, IUserInterface& ui) {
  FileDialogRequest req =
      DataFileRequest(LastFileName(doc.App()), PathFolder(LastFilePath(doc.App())));
  req.confirmOverwrite = true;
  std::optional<std::string> path = ui.ChooseSaveFile(req);
  if (!path || path->empty()) return false;
  std::string target = *path;
  // A name typed without an extension gets ".qd1".
  if (PathFileName(target).find('.') == std::string::npos) target += kDataFileExtension;
  return SaveDataFile(doc, ui, Absolute(target));
}

bool SaveDataFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& path) {
  SafeWriteResult r = doc.Save(path);
  if (!r.ok) {
    ui.Tell(Sj("データファイルが保存できませんでした。"), Sj("データファイルを保存"),
            MsgIcon::kError);
    return false;
  }
  RememberFile(doc, path);
  return true;
}

// --- Ends of other commands -------------------------------------------------------

void InputDefaultsChanged(CBrenlowDoc& doc, IUserInterface& ui) {
  if (HasPoints(doc)) return;
  Message m{Sj("入力初期値が更新されました。\n\n今、計測データ欄を初期化しますか？"),
            Sj("計測データ欄を初期化"), MsgIcon::kInformation, MsgButtons::kYesNo, std::nullopt};
  if (ui.ShowMessage(m) == MsgResult::kYes) ClearCurrent(doc);
}

void Avg3RangeChanged(CBrenlowDoc& doc) {
  for (auto& r : doc.Registered())
    r->UpdateAvgVolt3(doc.App().avg3);
  doc.RefreshViews(kRefreshData);
}

bool ConfirmClose(CBrenlowDoc& doc, IUserInterface& ui) {
  if (doc.App().runActive.load()) return false;
  if (!doc.IsModified()) return true;
  Message m{Sj("変更のあるデータを保存せず終了しますか？"), Sj("ｱﾌﾟﾘｹｰｼｮﾝの終了"),
            MsgIcon::kQuestion, MsgButtons::kOkCancel, MsgResult::kCancel};
  return ui.ShowMessage(m) == MsgResult::kOk;
}

}  // namespace qv
