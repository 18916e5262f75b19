// quorvex-cli recover: writes the run journal of an interrupted run in the
// working folder out as a data file.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "commands.h"
#include "core/settings_store.h"
#include "data/codec.h"
#include "data/run_recovery.h"

namespace qv::cli {
namespace {

// Exit codes of recover.
constexpr int kRecoverNoJournal = 1;
constexpr int kRecoverUnreadable = 2;
constexpr int kRecoverWriteFailed = 3;

int Recover(const std::string& out) {
  const std::string journal = RunJournalPath(CurrentDirectory());
  const RecoverResult r = RecoverRunJournal(journal, out);
  switch (r.status) {
    case RecoverStatus::kWritten:
      std::printf("%s\n%zu points\n", r.path.c_str(), r.points);
      return kExitOk;
    case RecoverStatus::kNoJournal:
      std::cerr << Cp932ToUtf8(Sj("中断された計測の記録はありません。")) << "\n";
      return kRecoverNoJournal;
    case RecoverStatus::kActive:
      std::cerr << Cp932ToUtf8(Sj("計測の記録は実行中の計測のものです。")) << " " << journal
                << "\n";
      return kRecoverNoJournal;
    case RecoverStatus::kUnreadable:
      std::cerr << Cp932ToUtf8(JournalUnreadableText(journal)) << "\n";
      return kRecoverUnreadable;
    case RecoverStatus::kNotRegular:
      std::cerr << Cp932ToUtf8(JournalNotRegularText(journal)) << "\n";
      return kRecoverUnreadable;
    case RecoverStatus::kWriteFailed:
      std::cerr << Cp932ToUtf8(Sj("データファイルが保存できませんでした。")) << " " << r.path
                << ": " << std::strerror(r.error) << "\n";
      return kRecoverWriteFailed;
  }
  return kRecoverUnreadable;
}

Registrar recoverCommand([](CLI::App& app) -> std::function<int()> {
  auto out = std::make_shared<std::string>();
  auto* sub = app.add_subcommand(
      "recover",
      "Write the interrupted run journaled in the working folder as a data file and remove the "
      "journal. Prints the file and the number of points");
  ExitStatusHelp(sub,
                 "  0  written\n"
                 "  1  no interrupted run\n"
                 "  2  the journal cannot be read, or is no regular file (it is left alone)\n"
                 "  3  the data file cannot be written");
  sub->add_option("--out", *out,
                  "data file (.qd1) to write; default recovered-<end>.qd1, after the run's end");
  return [out] { return Recover(*out); };
});

}  // namespace
}  // namespace qv::cli
