#include "data/run_recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "data/data_file.h"
#include "data/run_journal.h"

namespace qv {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string RunJournalPath(const std::string& folder) {
  return folder + kRunJournalName;
}

std::string FileStampText(const COleDateTime& t) {
  const DateParts p = t.Parts();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return stamp;
}

std::string DefaultRecoveredPath(const std::string& journalPath, const COleDateTime& end) {
  const std::string stamp = FileStampText(end);
  std::string folder = PathFolder(journalPath);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string base = folder + "recovered-" + stamp;
  std::string path = base + ".qd1";
  for (int n = 2; Exists(path) && n < 1000; ++n)
    path = base + "-" + std::to_string(n) + ".qd1";
  return path;
}

RecoverResult RecoverRunJournal(const std::string& journalPath, const std::string& outPath) {
  RecoverResult r;
  const int fd = OpenRegularFile(journalPath);
  if (fd < 0) {
    r.error = errno;
    r.status = errno == ENOENT                      ? RecoverStatus::kNoJournal
               : errno == EINVAL || errno == EISDIR ? RecoverStatus::kNotRegular
                                                    : RecoverStatus::kUnreadable;
    return r;
  }
  // The writer of a run in progress holds this lock; a killed one does not.
  // (A file system without locks cannot tell: the journal is taken.)
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    r.status = RecoverStatus::kActive;
    ::close(fd);
    return r;
  }
  std::string bytes;
  JournalContents journal;
  if (!ReadWholeFd(fd, bytes) || !ParseJournal(bytes, journal)) {
    r.error = errno;
    r.status = RecoverStatus::kUnreadable;
    ::close(fd);
    return r;
  }
  r.record = std::make_unique<CMeasureData>();
  BuildRecoveredRecord(journal, *r.record);
  r.points = journal.entries.size();
  r.path = outPath.empty() ? DefaultRecoveredPath(journalPath, r.record->dateTime) : outPath;
  const SafeWriteResult w = SaveDataFileAtomically(r.path, *r.record, {}, DataFileForm::kFull);
  if (!w.ok) {
    r.error = w.error;
    r.status = RecoverStatus::kWriteFailed;
    r.record.reset();
    ::close(fd);
    return r;
  }
  // The run is on disk elsewhere: only now does the journal go.
  ::unlink(journalPath.c_str());
  ::close(fd);
  r.status = RecoverStatus::kWritten;
  return r;
}

bool RemoveFinishedJournal(const std::string& journalPath, const JournalFileId& id) {
  const int fd = OpenRegularFile(journalPath);
  if (fd < 0) return errno == ENOENT;
  struct stat st {};
  bool removed = false;
  if (::fstat(fd, &st) == 0 && JournalFileId{st.st_dev, st.st_ino} == id &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    removed = ::unlink(journalPath.c_str()) == 0;
    if (removed) SyncDir(FolderOrDot(journalPath));
  }
  ::close(fd);
  return removed;
}

std::string RecoveryCaption() {
  return Sj("計測データの復旧");
}

std::string RecoveredAtStartupText(size_t points, const std::string& path) {
  return Sj("前回の放電と計測は正常に終了しませんでした。\n計測データ ") +
         IntText(static_cast<long long>(points)) + Sj(" 点を次のファイルに保存しました。\n\n") +
         Sj(path) + Sj("\n\n計測データ欄に読み込みますか？");
}

std::string RecoveredBeforeRunText(size_t points, const std::string& path) {
  return Sj("前回の放電と計測の記録が残っていました。\n計測データ ") +
         IntText(static_cast<long long>(points)) + Sj(" 点を次のファイルに保存しました。\n\n") +
         Sj(path);
}

std::string JournalUnreadableText(const std::string& path) {
  return Sj("前回の放電と計測の記録を読み込めません。\n\n（※記録ファイルは ") + Sj(path) +
         Sj(" に残してあります。）");
}

std::string RecoveryWriteFailedText() {
  return Sj(
      "前回の放電と計測の記録をデータファイルに保存できませんでした。\n\n（※作業フォルダーの空き"
      "容量と書き込みの権限を確認してください。記録ファイルは残してあります。）");
}

std::string JournalNotRegularText(const std::string& path) {
  return Sj("計測の記録ファイルの名前 ") + Sj(path) +
         Sj(" が、通常のファイルではないもの（FIFO やフォルダーなど）に") +
         Sj("使われているため、記録ファイルを読み書きできません。\n\n") +
         Sj("（※このファイルを削除するか名前を変えてください。）");
}

void RecoverAtStartup(CBrenlowDoc& doc, IUserInterface& ui) {
  const std::string journal = RunJournalPath(doc.App().settings.Directory());
  RecoverResult r = RecoverRunJournal(journal);
  switch (r.status) {
    case RecoverStatus::kNoJournal:
    case RecoverStatus::kActive:
      return;
    case RecoverStatus::kUnreadable:
      ui.Tell(JournalUnreadableText(journal), RecoveryCaption(), MsgIcon::kWarning);
      return;
    case RecoverStatus::kWriteFailed:
      ui.Tell(RecoveryWriteFailedText(), RecoveryCaption(), MsgIcon::kWarning);
      return;
    case RecoverStatus::kNotRegular:
      ui.Tell(JournalNotRegularText(journal), RecoveryCaption(), MsgIcon::kWarning);
      return;
    case RecoverStatus::kWritten:
      break;
  }
  const MsgResult answer =
      ui.ShowMessage({RecoveredAtStartupText(r.points, r.path), RecoveryCaption(),
                      MsgIcon::kQuestion, MsgButtons::kYesNo, std::nullopt});
  if (answer != MsgResult::kYes) return;
  {
    std::lock_guard<std::mutex> g(doc.Lock());
    doc.Current() = *r.record;
  }
  doc.SetModified();
  doc.RefreshViews(kRefreshResult | kRefreshGraph);
}

}  // namespace qv
