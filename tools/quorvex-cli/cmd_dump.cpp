// quorvex-cli dump FILE: the data file as JSON. save-as IN OUT: the file in
// the current full form.
//
// Reals are printed in their shortest form that reads back to the same double
// ("6.0", "42067.42444444444"). JSON has no NaN or infinity: such values (only
// damaged or foreign files hold them) print as null.
// Exit codes: 0 done, 1 the file is unreadable, refused or cannot be written
// (its error text on stderr, UTF-8), 2 the file does not exist.
#include <iostream>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "data/codec.h"
#include "file_io.h"

namespace qv::cli {
namespace {

nlohmann::ordered_json RecordJson(const CMeasureData& r) {
  nlohmann::ordered_json j;
  j["id"] = {r.id1, r.id2, r.id3};
  j["id_text"] = r.GetIdText();
  j["datetime"] = r.GetDateTimeText();
  j["datetime_status"] = r.dateTime.status;
  j["ole_date"] = r.dateTime.date;
  j["remark"] = Cp932ToUtf8(r.remark);
  j["cells"] = r.cells;
  j["end_voltage"] = r.endVoltage;
  j["currents"] = {r.currentA, r.currentB, r.currentC};
  j["v1_point"] = r.v1Point;
  j["avg_voltage1"] = r.avgVoltage1;
  j["avg_voltage2"] = r.GetAvgVoltage(-1);
  j["avg_voltage3"] = r.avgVoltage3;
  j["pir"] = r.pir;
  j["internal_resistance"] = r.internalResistance;
  j["discharge_time"] = r.GetDischargeTime();
  j["capacity"] = r.GetCapacity(-1);
  j["energy"] = r.GetEnergy(-1);
  j["emf"] = r.GetEmfVoltage();
  auto points = nlohmann::ordered_json::array();
  for (const CMeasurePoint& p : r.Points()) {
    points.push_back({p.time, p.current, p.voltage, p.capacity, p.avgVoltage});
  }
  j["points"] = std::move(points);
  return j;
}

int Dump(const std::string& path) {
  CAppState app;
  LoadAppSettings(app);
  LoadedFile file;
  if (int rc = ReadDataFileAt(path, app, file); rc != kExitOk) return rc;
  nlohmann::ordered_json j;
  j["version"] = file.version;
  j["current"] = file.hasCurrent ? RecordJson(file.current) : nlohmann::ordered_json(nullptr);
  auto records = nlohmann::ordered_json::array();
  for (const auto& r : file.records)
    records.push_back(RecordJson(*r));
  j["records"] = std::move(records);
  std::cout << j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  return kExitOk;
}

int SaveAs(const std::string& in, const std::string& out) {
  CAppState app;
  LoadAppSettings(app);
  return CopyDataFileAt(in, out, app);
}

struct DumpArgs {
  std::string file;
  std::string in, out;
};

Registrar dumpCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<DumpArgs>();
  auto* sub = app.add_subcommand("dump", "Print a data file (.qd1) as one JSON object");
  sub->add_option("FILE", args->file, "data file to read")->required();
  ExitStatusHelp(sub,
                 "  0  printed\n"
                 "  1  the file cannot be read, is damaged or has an unsupported version\n"
                 "  2  the file does not exist");
  return [args] { return Dump(args->file); };
});

Registrar saveAsCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<DumpArgs>();
  auto* sub = app.add_subcommand("save-as",
                                 "Read a data file of any version, write it in the current form");
  sub->add_option("IN", args->in, "data file to read")->required();
  sub->add_option("OUT", args->out, "data file to write")->required();
  ExitStatusHelp(sub,
                 "  0  written\n"
                 "  1  IN cannot be read, is damaged or has an unsupported version, or OUT\n"
                 "     cannot be written\n"
                 "  2  IN does not exist");
  return [args] { return SaveAs(args->in, args->out); };
});

}  // namespace
}  // namespace qv::cli
