#include "file_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "commands.h"
#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"

namespace qv::cli {

void LoadAppSettings(CAppState& app) {
  app.settings.SetDirectory(CurrentDirectory());
  app.LoadSettings();
}

namespace {

// Opens a data file for reading; prints the failure and returns the exit code
// (2 missing, 1 unreadable) when it cannot.
int OpenDataFileAt(const std::string& path, int& fd) {
  fd = OpenRegularFile(path);
  if (fd >= 0) return kExitOk;
  int err = errno;
  std::cerr << Cp932ToUtf8(Sj("データファイルが開けません。")) << " " << path << ": "
            << std::strerror(err) << "\n";
  return err == ENOENT ? kExitMissing : kExitUnreadable;
}

int SaveFailed(const std::string& path, int error) {
  std::cerr << Cp932ToUtf8(Sj("データファイルが保存できませんでした。")) << " " << path << ": "
            << std::strerror(error) << "\n";
  return kExitUnreadable;
}

}  // namespace

int ReadDataFileAt(const std::string& path, const CAppState& app, LoadedFile& out, bool namePath) {
  int fd = -1;
  if (int rc = OpenDataFileAt(path, fd); rc != kExitOk) return rc;
  ArchiveReader ar(fd);
  out.current.Reset(app.inputs);
  DataFileReadResult r = ReadDataFile(ar, out.current, out.records, app.avg3);
  ::close(fd);
  out.version = r.version;
  out.hasCurrent = r.currentRecords > 0;
  if (!r.ok()) {
    std::cerr << (namePath ? path + ": " : std::string()) << Cp932ToUtf8(r.error) << "\n";
    return kExitUnreadable;
  }
  return kExitOk;
}

int WriteDataFileAt(const std::string& path, const CMeasureData& current,
                    const RecordList& records) {
  SafeWriteResult w = SaveDataFileAtomically(path, current, records, DataFileForm::kFull);
  return w.ok ? kExitOk : SaveFailed(path, w.error);
}

int CopyDataFileAt(const std::string& in, const std::string& out, const CAppState& app) {
  int fd = -1;
  if (int rc = OpenDataFileAt(in, fd); rc != kExitOk) return rc;
  CMeasureData current(app.inputs);
  DataFileReadResult read;
  bool copied = false;
  const SafeWriteResult w = WriteFileAtomicallyWith(out, [&](int outFd) {
    copied = true;
    ArchiveReader reader(fd);
    ArchiveWriter writer(outFd);
    read = CopyDataFile(reader, writer, current, app.avg3);
    if (!read.ok()) return EINVAL;  // ends the save; the target stays as it was
    return writer.Flush() ? 0 : writer.error();
  });
  if (!copied && !w.ok) {
    // The output could not even be begun: a damaged input is still the
    // first thing to report, as a read before the write would.
    LoadedFile scratch;
    ArchiveReader reader(fd);
    read = ReadDataFile(reader, scratch.current, scratch.records, app.avg3);
  }
  ::close(fd);
  if (!read.ok()) {
    std::cerr << Cp932ToUtf8(read.error) << "\n";
    return kExitUnreadable;
  }
  return w.ok ? kExitOk : SaveFailed(out, w.error);
}

}  // namespace qv::cli
