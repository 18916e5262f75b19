#include "shell_test_support.h"

#include <QApplication>

namespace qv::test::shell {

namespace {
[[maybe_unused]] ::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);
}  // namespace

std::unique_ptr<CMeasureData> MakeRecord(int id1, int id2, int id3, int seconds, int day) {
  auto r = std::make_unique<CMeasureData>();
  FillCurrent(*r, seconds);
  r->id1 = id1;
  r->id2 = id2;
  r->id3 = id3;
  r->dateTime = COleDateTime::FromParts({2015, 3, day, 10, 11, 12});
  return r;
}

void FillCurrent(CMeasureData& current, int seconds) {
  double capacity = 0.0;
  for (int t = 0; t <= seconds; ++t) {
    capacity += 1000.0 / 3600.0;
    const double v = 8.0 - 2.0 * t / (seconds + 1);
    current.AppendPoint({t, 1.0, v, capacity, v});
  }
  current.avgVoltage1 = 7.5;
  current.internalResistance = 25.0;
  current.pir = 11.0;
}

void WriteSampleFile(const std::string& path, int records) {
  CMeasureData current;
  FillCurrent(current, 300);
  current.dateTime = COleDateTime::FromParts({2015, 3, 6, 14, 2, 3});
  RecordList list;
  for (int i = 0; i < records; ++i)
    list.push_back(MakeRecord(1, 1, i + 1, 200 + 50 * i));
  WriteFile(path, DataFileBytes(current, list, DataFileForm::kFull));
}

ModalAnswer::ModalAnswer(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || answered_) return;
    answered_ = true;
    timer_.stop();
    answer_(modal);
  });
  timer_.start();
}

ModalAnswer::~ModalAnswer() {
  timer_.stop();
}

StartedApp::StartedApp(const std::optional<std::string>& file, std::string workDir) {
  ui::SetUpApplication();
  ui::StartOptions options;
  options.workDir = workDir.empty() ? dir.path() : workDir;
  options.splash = false;
  options.ui = &ui;
  options.sendNotice = [this](const DesktopNotice& n) {
    desktopNotices.push_back(n);
    return true;
  };
  app = std::make_unique<ui::CBrenlowApp>(options);
  app->Start(file);
}

StartedApp::~StartedApp() {
  // Nothing to ask on the way out.
  if (app && app->Frame()) State().modified = false;
  app.reset();
}

void StoreValidSettings(CSettingsStore& s, int form, int choice) {
  s.SetMany({{"PRINT_TOP_X", "9"},
             {"PRINT_TOP_Y", "21"},
             {"PRINT_LABEL_W", "24"},
             {"PRINT_LABEL_H", "33"},
             {"PRINT_LABEL_GX", "4"},
             {"PRINT_LABEL_GY", "4"},
             {"PRINT_GRAPH_WS", "600"},
             {"PRINT_LABEL_CX", "7"},
             {"PRINT_LABEL_CY", "7"},
             {"PRINT_IDSTART1", "001"},
             {"PRINT_IDSTART2", "001"},
             {"PRINT_IDSTART3", "001"},
             {"PRINT_IDEND1", "999"},
             {"PRINT_IDEND2", "999"},
             {"PRINT_IDEND3", "999"},
             {"PRINT_RADIO", std::to_string(form)},
             {"PRINT_RADIO2", std::to_string(choice)}});
}

}  // namespace qv::test::shell
