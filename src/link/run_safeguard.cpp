#include "link/run_safeguard.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "data/codec.h"
#include "data/run_recovery.h"
#include "link/run_texts.h"

namespace qv {

CRunSafeguard::CRunSafeguard(CBrenlowDoc& doc, IUserInterface& ui)
    : inhibitor(MakeLogindInhibitor()), doc_(doc), ui_(ui) {}

CRunSafeguard::~CRunSafeguard() {
  journal_.Finish();
  if (inhibitor) inhibitor->Release();
}

std::string CRunSafeguard::JournalFailedText() {
  return Sj(
      "計測中の記録ファイルに書き込めませんでした。\n\n（※計測データは計測データ欄に残っていま"
      "す。作業フォルダーの空き容量と書き込みの権限を確認してください。）");
}

bool CRunSafeguard::ClearOldJournal(const std::string& path) {
  RecoverResult r = RecoverRunJournal(path);
  switch (r.status) {
    case RecoverStatus::kNoJournal:
      return true;
    case RecoverStatus::kWritten:
      ui_.Tell(RecoveredBeforeRunText(r.points, r.path), GetRunControlTexts().captionStart,
               MsgIcon::kInformation);
      return true;
    case RecoverStatus::kActive:
      return false;  // another program's run is writing it
    case RecoverStatus::kWriteFailed:
      ui_.Tell(RecoveryWriteFailedText(), GetRunControlTexts().captionStart, MsgIcon::kWarning);
      return false;
    case RecoverStatus::kUnreadable:
      break;
  }
  // Unreadable: kept under a name of its own, out of this run's way.
  const std::string aside = path + "." + FileStampText(COleDateTime::Now()) + ".unreadable";
  if (::access(aside.c_str(), F_OK) == 0 || ::rename(path.c_str(), aside.c_str()) != 0) {
    ui_.Tell(JournalUnreadableText(path), GetRunControlTexts().captionStart, MsgIcon::kWarning);
    return false;
  }
  ui_.Tell(JournalUnreadableText(aside), GetRunControlTexts().captionStart, MsgIcon::kWarning);
  return true;
}

void CRunSafeguard::BeginRun() {
  journal_.Finish();
  journalPath_.clear();
  const std::string path = RunJournalPath(doc_.App().settings.Directory());
  if (ClearOldJournal(path)) {
    JournalHeader header;
    {
      std::lock_guard<std::mutex> g(doc_.Lock());
      header.inputs = doc_.Current().Inputs();
    }
    header.startMs = WallClockMs();
    journal_.Start(path, header);
    journalPath_ = path;
  }
  if (inhibitor) inhibitor->Acquire();
}

void CRunSafeguard::OnPoint(const FrameValues& v) {
  if (journalPath_.empty()) return;
  journal_.Append({WallClockMs(), v.point, v.avgVoltage1, v.pir, v.internalResistance});
}

void CRunSafeguard::EndRun(bool runIsSafe) {
  if (inhibitor) inhibitor->Release();
  if (journalPath_.empty()) return;
  // Only a journal this run created goes (not another run's: EEXIST).
  const bool written = journal_.Finish(runIsSafe);
  journalPath_.clear();
  if (!written) ui_.Tell(JournalFailedText(), GetRunControlTexts().captionRun, MsgIcon::kWarning);
}

}  // namespace qv
