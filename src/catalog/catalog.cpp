#include "catalog/catalog.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <set>

#include "catalog/dialect.h"
#include "catalog/filter.h"
#include "catalog/schema.h"
#include "core/safe_file.h"
#include "core/settings_keys.h"
#include "data/archive.h"
#include "data/codec.h"

namespace qv::catalog {

std::string CatalogPath(const CSettingsStore& settings) {
  const std::string named = settings.Value(keys::kCatalog);
  if (named.empty()) return settings.Directory() + kCatalogFileName;
  if (named[0] == '/') return named;
  return settings.Directory() + named;
}

std::string Place::Text() const {
  switch (kind) {
    case kStock:
      return "stock";
    case kPack:
      return "pack:" + pack;
    case kRetired:
      return "retired";
  }
  return "stock";
}

std::optional<Place> Place::FromText(const std::string& text) {
  if (text == "stock") return Place{};
  if (text == "retired") return Place{kRetired, {}};
  if (text.rfind("pack:", 0) == 0 && text.size() > 5) return Place{kPack, text.substr(5)};
  return std::nullopt;
}

ImportCounts& ImportCounts::operator+=(const ImportCounts& o) {
  added += o.added;
  updated += o.updated;
  unchanged += o.unchanged;
  refused += o.refused;
  return *this;
}

std::string DbMessage(const DbError& e) {
  std::string text;
  switch (e.status) {
    case DbStatus::kBusy:
      text = "カタログが他のプログラムで使われています。しばらくしてからやり直してください。";
      break;
    case DbStatus::kDamaged:
      text = "カタログのファイルが壊れているか、カタログのファイルではありません。";
      break;
    case DbStatus::kFull:
      text = "ディスクがいっぱいで、カタログに書き込めません。";
      break;
    case DbStatus::kReadOnly:
      text = "カタログに書き込めません（ファイルかフォルダが書き込み禁止です）。";
      break;
    case DbStatus::kCantOpen:
      text = "カタログを開けません。";
      break;
    default:
      text = "カタログの処理に失敗しました。";
      break;
  }
  std::string out = Sj(text);
  if (!e.text.empty()) out += Sj("\n（") + Utf8ToCp932(e.text) + Sj("）");
  return out;
}

std::string UtcNowText() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string HostStation() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
  return buf;
}

std::unique_ptr<Catalog> Catalog::Open(const std::string& path, std::string* message) {
  DbError error;
  std::unique_ptr<Database> db = OpenSqlite(path, &error);
  if (!db) {
    if (message) *message = Sj("カタログ ") + Sj(path) + Sj(" を開けません。\n") + DbMessage(error);
    return nullptr;
  }
  std::string why;
  auto catalog = Over(std::move(db), &why);
  if (!catalog && message) *message = Sj("カタログ ") + Sj(path) + Sj(" を開けません。\n") + why;
  return catalog;
}

std::unique_ptr<Catalog> Catalog::Over(std::unique_ptr<Database> db, std::string* message) {
  const SchemaResult schema = EnsureSchema(*db);
  std::string why;
  switch (schema.outcome) {
    case SchemaOutcome::kReady:
      return std::unique_ptr<Catalog>(new Catalog(std::move(db)));
    case SchemaOutcome::kForeign:
      why = Sj("このファイルはカタログのファイルではありません。");
      break;
    case SchemaOutcome::kNewer: {
      char buf[96];
      std::snprintf(buf, sizeof buf, "%d", schema.version);
      why = Sj("このカタログは新しいバージョンのプログラムで作られています（スキーマ ") + buf +
            Sj("）。");
      break;
    }
    case SchemaOutcome::kFailed:
      why = DbMessage(db->LastError());
      break;
  }
  if (message) *message = why;
  return nullptr;
}

bool Catalog::Fail(const std::string& cp932) {
  message_ = cp932;
  return false;
}

bool Catalog::DbFail() {
  message_ = DbMessage(db_->LastError());
  return false;
}

}  // namespace qv::catalog
