// quorvex-cli catalog init, status and sync: the catalogue's schema, and a
// station's link to a catalogue on a PostgreSQL server (its name, its
// offline queue).
#include <iostream>

#include "catalog/schema.h"
#include "catalog/station.h"
#include "catalog_cli.h"
#include "commands.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "file_io.h"

namespace qv::cli {

namespace {

void Print(const std::string& cp932) {
  std::cout << Cp932ToUtf8(cp932) << "\n";
}

std::string CountsText(const catalog::ImportCounts& c) {
  return Sj("新規 ") + IntText(c.added) + Sj(" 件、更新 ") + IntText(c.updated) +
         Sj(" 件、変更なし ") + IntText(c.unchanged) + Sj(" 件");
}

std::string WhereText(const catalog::CatalogTarget& t) {
  return (t.server ? Sj("サーバー ") : Sj("ファイル ")) + Sj(catalog::TargetText(t));
}

}  // namespace

catalog::CatalogTarget TargetOfArgs(const CatalogArgs& a, CAppState& app) {
  LoadAppSettings(app);
  return catalog::TargetOf(app.settings, a.catalog);
}

int CatalogInit(const CatalogArgs& a) {
  CAppState app;
  const catalog::CatalogTarget t = TargetOfArgs(a, app);
  std::string why;
  if (!catalog::InitTarget(t, &why)) return Say(why, kExitCatalog);
  Print(Sj("カタログ: ") + WhereText(t) + Sj("（スキーマ ") + IntText(catalog::kLatestSchema) +
        Sj("）"));
  return kExitOk;
}

int CatalogStatus(const CatalogArgs& a) {
  CAppState app;
  const catalog::CatalogTarget t = TargetOfArgs(a, app);
  Print(Sj("カタログ: ") + WhereText(t));
  Print(Sj("ステーション: ") + Utf8ToCp932(t.station));
  if (!t.server) return kExitOk;
  const int64_t waiting = catalog::WaitingCount(t);
  Print(Sj("送信待ち: ") + (waiting < 0 ? Sj("不明") : IntText(waiting) + Sj(" ファイル")));
  std::string why;
  if (!catalog::OpenTarget(t, &why)) return Say(why, kExitCatalog);
  Print(Sj("接続: できます"));
  return kExitOk;
}

int CatalogSync(const CatalogArgs& a) {
  CAppState app;
  const catalog::CatalogTarget t = TargetOfArgs(a, app);
  if (!t.server) {
    Print(Sj("カタログはこのコンピューターのファイルです。送信するものはありません。"));
    return kExitOk;
  }
  const catalog::SyncOutcome s = catalog::Sync(t);
  if (s.reached)
    Print(Sj("送信: ") + IntText(s.sent) + Sj(" ファイル（") + CountsText(s.counts) + Sj("）"));
  Print(Sj("送信待ち: ") + (s.waiting < 0 ? Sj("不明") : IntText(s.waiting) + Sj(" ファイル")));
  if (s.busy) return Say(Sj("ほかのプログラムが送信中です。"), kExitRefused);
  if (!s.message.empty()) return Say(s.message, kExitCatalog);
  return s.waiting == 0 ? kExitOk : kExitCatalog;
}

}  // namespace qv::cli
