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

int ReadDataFileAt(const std::string& path, const CAppState& app, LoadedFile& out) {
  int fd = OpenRegularFile(path);
  if (fd < 0) {
    int err = errno;
    std::cerr << Cp932ToUtf8(Sj("データファイルが開けません。")) << " " << path << ": "
              << std::strerror(err) << "\n";
    return err == ENOENT ? kExitMissing : kExitUnreadable;
  }
  ArchiveReader ar(fd);
  out.current.Reset(app.inputs);
  DataFileReadResult r = ReadDataFile(ar, out.current, out.records, true, app.avg3);
  ::close(fd);
  out.version = r.version;
  out.hasCurrent = r.currentRecords > 0;
  if (!r.ok()) {
    std::cerr << Cp932ToUtf8(r.error) << "\n";
    return kExitUnreadable;
  }
  return kExitOk;
}

int WriteDataFileAt(const std::string& path, const CMeasureData& current,
                    const RecordList& records) {
  SafeWriteResult w =
      WriteFileAtomically(path, DataFileBytes(current, records, DataFileForm::kFull));
  if (!w.ok) {
    std::cerr << Cp932ToUtf8(Sj("データファイルが保存できませんでした。")) << " " << path << ": "
              << std::strerror(w.error) << "\n";
    return kExitUnreadable;
  }
  return kExitOk;
}

}  // namespace qv::cli
