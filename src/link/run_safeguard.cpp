#include "link/run_safeguard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "data/codec.h"
#include "data/run_recovery.h"
#include "link/run_texts.h"

namespace qv {

CRunSafeguard::CRunSafeguard(IUserInterface& ui) : inhibitor(MakeLogindInhibitor()), ui_(ui) {}

CRunSafeguard::~CRunSafeguard() {
  journal_.Finish();
  if (inhibitor) inhibitor->Release();
}

std::string CRunSafeguard::JournalFailedText() {
  return Sj(
      "計測中の記録ファイルに書き込めませんでした。\n\n（※計測データは計測データ欄に残っていま"
      "す。作業フォルダーの空き容量と書き込みの権限を確認してください。）");
}

CRunSafeguard::RunMark CRunSafeguard::MarkOf(const CMeasureData& record) {
  return {record.GetDateTimeText(), record.Points().size()};
}

bool CRunSafeguard::ClaimFolder(const std::string& folder) {
  const std::string& caption = GetRunControlTexts().captionStart;
  if (folder_.Acquire(folder) == CRunFolderLock::Claim::kBusy) {
    ui_.Tell(FolderBusyText(folder, DescribeActiveRun(folder)), caption, MsgIcon::kWarning);
    return false;
  }
  // A FIFO there would take neither this run's journal nor a recovery.
  const std::string journal = RunJournalPath(folder);
  struct stat st {};
  if (::stat(journal.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    folder_.Release();
    ui_.Tell(JournalNotRegularText(journal), caption, MsgIcon::kWarning);
    return false;
  }
  journalPath_ = journal;
  return true;
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
    case RecoverStatus::kActive:      // another program's run is writing it
    case RecoverStatus::kNotRegular:  // came after ClaimFolder looked
      return false;
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

void CRunSafeguard::BeginRun(const InputConditions& inputs) {
  journal_.Finish();
  journaling_ = false;
  noticeGiven_ = false;
  {
    // An earlier run's journal that stayed is taken up below like any other.
    std::lock_guard<std::mutex> g(keptMu_);
    kept_.reset();
  }
  if (ClearOldJournal(journalPath_)) {
    JournalHeader header;
    header.inputs = inputs;
    header.startMs = WallClockMs();
    journal_.Start(journalPath_, header);
    journaling_ = true;
  }
  if (inhibitor) inhibitor->Acquire();
}

void CRunSafeguard::OnFrame(const FrameValues& v) {
  if (journaling_)
    journal_.Append({WallClockMs(), v.point, v.avgVoltage1, v.pir, v.internalResistance});
  if (noticeGiven_) return;
  const int error = journaling_ ? journal_.FailedSoFar() : 0;
  if (journaling_ && error == 0) return;
  noticeGiven_ = true;
  ui_.Notify({JournalLostNoticeText(journalPath_, error), GetRunControlTexts().captionRun,
              MsgIcon::kWarning, MsgButtons::kOk, std::nullopt});
}

bool CRunSafeguard::EndRun(bool runIsSafe, const RunMark& run) {
  if (inhibitor) inhibitor->Release();
  bool written = false;
  bool stays = false;
  if (journaling_) {
    // Only a journal this run created goes (not another run's: EEXIST).
    written = journal_.Finish(runIsSafe);
    stays = !runIsSafe && journal_.Created();
    journaling_ = false;
  }
  if (stays) {
    std::lock_guard<std::mutex> g(keptMu_);
    kept_ = KeptJournal{journalPath_, journal_.FileId(), run};
  }
  if (!written) ui_.Tell(JournalFailedText(), GetRunControlTexts().captionRun, MsgIcon::kWarning);
  folder_.Release();
  return stays;
}

void CRunSafeguard::DocumentSaved(const CBrenlowDoc& doc) {
  std::lock_guard<std::mutex> g(keptMu_);
  if (!kept_) return;
  bool holdsRun = false;
  {
    std::lock_guard<std::mutex> d(doc.Lock());
    auto isRun = [this](const CMeasureData& r) {
      return r.Points().size() == kept_->run.points && r.GetDateTimeText() == kept_->run.dateTime;
    };
    holdsRun = isRun(doc.Current());
    for (const auto& r : doc.Registered())
      holdsRun = holdsRun || isRun(*r);
  }
  if (!holdsRun) return;
  RemoveFinishedJournal(kept_->path, kept_->id);
  kept_.reset();
}

}  // namespace qv
