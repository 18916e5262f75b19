// quorvex-cli virtual FILE --id P1-P2-P3 --current A --out FILE2: the virtual
// curve of a registered record, written as the current measurement of a copy
// of the data file.
#include <iostream>
#include <memory>
#include <optional>

#include "analysis/virtual_curve.h"
#include "commands.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "file_io.h"
#include "id_arg.h"

namespace qv::cli {
namespace {

inline constexpr int kExitNoRecord = kExitBadId;  // no registered record with that ID
inline constexpr int kExitRefused = 4;            // the record or the current was refused

int Virtual(const std::string& in, const std::string& idText, const std::string& currentText,
            const std::string& out) {
  const std::optional<RegistrationId> id = IdArgument(idText);
  if (!id) return kExitBadId;
  CAppState app;
  LoadAppSettings(app);
  LoadedFile file;
  if (int rc = ReadDataFileAt(in, app, file); rc != kExitOk) return rc;

  const CMeasureData* source = nullptr;
  for (const auto& r : file.records) {
    if (r->Id() == *id) {
      source = r.get();
      break;
    }
  }
  if (!source) {
    std::cerr << "no registered record with ID " << idText << "\n";
    return kExitNoRecord;
  }
  if (auto refusal = VirtualSourceRefusal(*source)) {
    std::cerr << Cp932ToUtf8(*refusal) << "\n";
    return kExitRefused;
  }
  const double value = AtoF(currentText);
  if (auto refusal = VirtualCurrentRefusal(value, source->currentA)) {
    std::cerr << Cp932ToUtf8(*refusal) << "\n";
    return kExitRefused;
  }
  const double ia = RoundDecimal(value, 1);

  auto result = std::make_unique<CMeasureData>(app.inputs);
  MakeVirtualCurve(*result, *source, ia, app.avg3);
  if (int rc = WriteDataFileAt(out, *result, file.records); rc != kExitOk) return rc;
  std::cout << Cp932ToUtf8(Sj("仮想放電電流 ") + FixedText(ia, 1) +
                           Sj(" A のバーチャルカーブを生成しました。"))
            << "\n";
  return kExitOk;
}

struct VirtualArgs {
  std::string file, id, current, out;
};

Registrar virtualCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<VirtualArgs>();
  auto* sub = app.add_subcommand(
      "virtual", "Generate the virtual curve of a registered record into a copy of the data file");
  sub->add_option("FILE", args->file, "data file to read")->required();
  sub->add_option("--id", args->id, "registration ID of the source record, P1-P2-P3")->required();
  sub->add_option("--current", args->current, "virtual discharge current in A")->required();
  sub->add_option("--out", args->out, "data file to write")->required();
  ExitStatusHelp(sub,
                 "  0  written\n"
                 "  1  FILE cannot be read, is damaged or has an unsupported version, or the\n"
                 "     output cannot be written\n"
                 "  2  FILE does not exist\n"
                 "  3  the ID is not P1-P2-P3 with parts 1 to 999, or no registered record has it\n"
                 "  4  the record or the current is refused (the message says why)");
  return [args] { return Virtual(args->file, args->id, args->current, args->out); };
});

}  // namespace
}  // namespace qv::cli
