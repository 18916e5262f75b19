#include "data/merge.h"

#include <unistd.h>

#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "core/safe_file.h"
#include "core/settings_keys.h"
#include "data/archive.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "data/text_format.h"

namespace qv {
namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

std::string Identity(const CMeasureData& r) {
  return Format("%s (%s)", r.GetIdText(), r.GetDateTimeText());
}

}  // namespace

CMergeModel::CMergeModel(CBrenlowDoc& doc) : doc_(doc) {}

void CMergeModel::Open() {
  backupMode = false;
  filePath = Cp932ToUtf8(doc_.App().settings.Get(keys::kMergeFile));
  overwritten_.clear();
}

void CMergeModel::Browse(IUserInterface& ui) {
  std::optional<std::string> chosen =
      ui.ChooseOpenFile(DataFileRequest(PathFileName(filePath), PathFolder(filePath)));
  if (chosen && !chosen->empty()) filePath = *chosen;
}

// The questions, the read into fresh objects and the replacement of the same
// measurements follow one another here as the command does them.
bool CMergeModel::Merge(IUserInterface& ui) {
  static const std::string kCaption = Sj("データファイルを合成");
  overwritten_.clear();
  CAppState& app = doc_.App();
  const std::string path = Trim(backupMode ? doc_.BackupPath() : filePath);
  const std::string name = PathFileName(path);

  if (!backupMode) {
    if (path.empty()) {
      ui.Tell(Sj("合成するデータファイルを指定してください。"), Sj("合成データファイル指定"),
              MsgIcon::kWarning);
      return false;
    }
    if (name == app.fileName) {
      Message m{
          Sj("指定したファイル名が、編集中のファイルと同じです。\nこのまま処理を継続しますか？"),
          kCaption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
      if (ui.ShowMessage(m) != MsgResult::kOk) return false;
    }
  }
  if (doc_.IsModified()) {
    Message m{Sj("変更されたデータがあります。\n保存せずにこのまま処理を継続しますか？"), kCaption,
              MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
    if (ui.ShowMessage(m) != MsgResult::kOk) return false;
  }
  int fd = OpenRegularFile(path);
  if (fd < 0) {
    ui.Tell(Sj("データファイルが開けません。"), kCaption, MsgIcon::kError);
    return false;
  }

  // The whole source first, into fresh objects.
  CMeasureData current(app.inputs);
  RecordList incoming;
  DataFileReadResult r;
  {
    ArchiveReader ar(fd);
    r = ReadDataFile(ar, current, incoming, app.avg3);
  }
  ::close(fd);
  if (!r.ok()) {
    if (r.kind == DataFileError::kVersion) {
      // Refused by its version: the overlays are removed and the measurement
      // panel is reset, the registration list stays.
      doc_.ResetDisplayList();
      doc_.ResetCurrent();
      ui.Tell(r.error, Sj("データファイル読み込み"), MsgIcon::kWarning);
      doc_.RefreshViews(kRefreshAll);
    } else {
      ui.Tell(r.error, Sj("データファイル読み込み"), MsgIcon::kWarning);
    }
    return false;
  }

  doc_.ResetDisplayList();
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    doc_.Current() = std::move(current);
  }
  if (!backupMode) app.settings.Set(keys::kMergeFile, Utf8ToCp932(path));

  // Source records replace the same measurement among the records that were
  // in the document before the merge (never each other).
  const RecordList& list = doc_.Registered();
  std::unordered_map<std::string, std::deque<size_t>> byIdentity;
  for (size_t i = 0; i < list.size(); ++i)
    byIdentity[Identity(*list[i])].push_back(i);
  std::unordered_set<const CMeasureData*> replaced;
  for (const auto& in : incoming) {
    const std::string id = Identity(*in);
    auto found = byIdentity.find(id);
    if (found == byIdentity.end() || found->second.empty()) continue;
    overwritten_.push_back(id);
    replaced.insert(list[found->second.front()].get());
    found->second.pop_front();
  }
  if (!overwritten_.empty()) doc_.DeleteRegistered(replaced);
  for (auto& in : incoming)
    doc_.InsertRegistered(std::move(in));
  doc_.SetModified();
  doc_.RefreshViews(kRefreshAll);
  return true;
}

std::string MergeCompletionText(const std::vector<std::string>& overwritten) {
  std::string text = Sj("データファイルを合成しました。");
  if (overwritten.empty()) return text;
  text += Sj("\n\n※　重複した次の登録データは上書きされました。\n");
  const std::string line = Sj("　　　%s\n");
  for (size_t i = 0; i < overwritten.size(); ++i) {
    if (i == 6) {
      text += Format(Sj("　　　　・・・・・\n　　　　　（他、%d件の登録データ）"),
                     static_cast<int>(overwritten.size() - 6));
      break;
    }
    text += Format(line, overwritten[i]);
  }
  return text;
}

bool CmdMerge(CBrenlowDoc& doc, IUserInterface& ui,
              const std::function<bool(CMergeModel&)>& dialog) {
  CMergeModel model(doc);
  model.Open();
  if (!dialog(model)) return false;
  ui.Tell(MergeCompletionText(model.Overwritten()), Sj("データファイル合成完了"),
          MsgIcon::kInformation);
  return true;
}

}  // namespace qv
