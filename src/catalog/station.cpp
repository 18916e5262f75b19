#include "catalog/station.h"

#include <functional>

#include "catalog/dialect.h"
#include "catalog/offline_queue.h"
#include "catalog/pg_db.h"
#include "catalog/pg_notice.h"
#include "catalog/schema.h"
#include "core/safe_file.h"
#include "core/settings_keys.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

std::string ServerName(const CatalogTarget& t) {
  return Sj("カタログのサーバー ") + Utf8ToCp932(DescribeServer(t.location));
}

// Connects to the server of `t`; nullptr with the reason in `message`.
std::unique_ptr<Database> Connect(const CatalogTarget& t, std::string* message) {
  const std::string problem = ServerLocationProblem(t.location);
  if (problem.find("password") != std::string::npos) {
    if (message)
      *message = Sj("カタログの接続文字列にパスワードは書けません。パスワードは ~/.pgpass か") +
                 Sj("サービスファイルに置いてください。");
    return nullptr;
  }
  DbError error;
  auto db = OpenPostgres(t.location, &error);
  if (!db && message) *message = ServerName(t) + Sj(" に接続できません。\n") + DbMessage(error);
  return db;
}

// The schema version of a server's catalogue: 0 when it holds none, -1 when
// it cannot be read.
int ServerSchema(Database& db) {
  auto tables = db.Prepare(db.dialect().tablesQuery);
  bool meta = false;
  DbStatus s = DbStatus::kError;
  while (tables && (s = tables->Step()) == DbStatus::kRow)
    meta = meta || tables->Text(0) == "catalog_meta";
  if (s != DbStatus::kDone) return -1;
  if (!meta) return 0;
  auto st = db.Prepare("SELECT value FROM catalog_meta WHERE name = 'schema_version'");
  if (!st || st->Step() != DbStatus::kRow) return -1;
  return std::atoi(std::string(st->Text(0)).c_str());
}

// The data file image of records, each with its bytes as the file holds
// them.
std::string ImageOf(const std::vector<const CMeasureData*>& records) {
  std::vector<RecordBytes> parts;
  std::string bytes;
  for (const CMeasureData* r : records) {
    const auto [head, points] = WriteRecordBytes(*r, bytes);
    parts.push_back({std::string(head), std::string(points)});
  }
  return DataFileOfRecordBytes(parts);
}

std::unique_ptr<OfflineQueue> OpenQueue(const CatalogTarget& t, std::string* message) {
  DbError error;
  auto q = OfflineQueue::Open(t.queuePath, &error);
  if (!q && message)
    *message =
        Sj("送信待ちのファイル ") + Sj(t.queuePath) + Sj(" を開けません。\n") + DbMessage(error);
  return q;
}

}  // namespace

CatalogTarget TargetOf(const CSettingsStore& settings, const std::string& given) {
  CatalogTarget t;
  const std::string named = given.empty() ? settings.Value(keys::kCatalog) : given;
  t.server = IsServerLocation(named);
  if (t.server) {
    t.location = named;
  } else if (given.empty()) {
    t.location = CatalogPath(settings);
  } else {
    t.location = given;  // a command-line path, relative to where it was given
  }
  t.station = Cp932ToUtf8(settings.Value(keys::kCatalogStation));  // Dis.ini holds CP932
  if (t.station.empty()) t.station = HostStation();
  t.queuePath = QueuePath(settings.Directory());
  return t;
}

std::string TargetText(const CatalogTarget& t) {
  return t.server ? DescribeServer(t.location) : t.location;
}

std::unique_ptr<Catalog> OpenTarget(const CatalogTarget& t, std::string* message) {
  if (!t.server) return Catalog::Open(t.location, message);
  auto db = Connect(t, message);
  if (!db) return nullptr;
  const int version = ServerSchema(*db);
  if (version < kLatestSchema) {
    if (message) {
      *message = ServerName(t);
      if (version < 0)
        *message += Sj(" のカタログを読めません。\n") + DbMessage(db->LastError());
      else if (version == 0)
        *message +=
            Sj(" にはまだカタログがありません。quorvex-cli catalog init で作ってください。");
      else
        *message += Sj(" のカタログは古い形式です。quorvex-cli catalog init で更新してください。");
    }
    return nullptr;
  }
  std::string why;
  auto cat = Catalog::Over(std::move(db), &why);
  if (!cat && message) *message = ServerName(t) + Sj(" のカタログを開けません。\n") + why;
  return cat;
}

std::unique_ptr<Catalog> InitTarget(const CatalogTarget& t, std::string* message) {
  if (!t.server) return Catalog::Open(t.location, message);
  auto db = Connect(t, message);
  if (!db) return nullptr;
  std::string why;
  auto cat = Catalog::Over(std::move(db), &why);
  if (!cat) {
    if (message) *message = ServerName(t) + Sj(" にカタログを作れません。\n") + why;
    return nullptr;
  }
  if (InstallChangeNotices(cat->db()) != DbStatus::kOk) {
    if (message)
      *message =
          ServerName(t) + Sj(" にカタログを作れません。\n") + DbMessage(cat->db().LastError());
    return nullptr;
  }
  return cat;
}

SyncOutcome SendQueued(const CatalogTarget& t, Catalog& cat) {
  SyncOutcome out;
  out.reached = true;
  if (!t.server) return out;
  auto queue = OpenQueue(t, &out.message);
  if (!queue) {
    out.waiting = -1;
    return out;
  }
  const auto drained = queue->Drain(t.location, [&](const QueuedFile& f) {
    ImportCounts counts;
    if (!cat.ImportBytes(f.bytes, f.path, f.station, f.range, counts)) {
      out.message = cat.LastMessage();
      return false;
    }
    out.counts += counts;
    return true;
  });
  out.sent = drained.sent;
  out.busy = drained.busy;
  if (drained.failed) out.message = DbMessage(queue->LastError());
  out.waiting = queue->Count(t.location);
  return out;
}

SyncOutcome Sync(const CatalogTarget& t) {
  SyncOutcome out;
  if (!t.server) return out;
  auto cat = OpenTarget(t, &out.message);
  if (!cat) {
    out.waiting = WaitingCount(t);
    return out;
  }
  return SendQueued(t, *cat);
}

int64_t WaitingCount(const CatalogTarget& t) {
  if (!t.server) return 0;
  auto queue = OpenQueue(t, nullptr);
  return queue ? queue->Count(t.location) : -1;
}

namespace {

// Into the server's catalogue through `import`, or into the queue as
// `image` (a data file image) when the server cannot take it.
SaveOutcome SaveOnServer(const CatalogTarget& t, const std::string& path, const Avg3Range& range,
                         const std::function<std::string()>& image,
                         const std::function<bool(Catalog&, ImportCounts&)>& import) {
  SaveOutcome out;
  std::string why;
  if (auto cat = OpenTarget(t, &why)) {
    // What was saved before goes first; this follows only when it all went.
    const SyncOutcome before = SendQueued(t, *cat);
    if (before.waiting <= 0 && import(*cat, out.counts)) {
      out.kind = SaveOutcome::kStored;
      return out;
    }
    why = before.waiting > 0 ? before.message : cat->LastMessage();
  }
  auto queue = OpenQueue(t, &out.message);
  QueuedFile f{0, t.location, path, t.station, UtcNowText(), range, image()};
  if (!queue || !queue->Add(f)) {
    if (queue) out.message = DbMessage(queue->LastError());
    out.message = why + Sj("\n") + out.message;
    return out;
  }
  out.kind = SaveOutcome::kQueued;
  out.waiting = queue->Count(t.location);
  out.message = why;
  return out;
}

}  // namespace

SaveOutcome CatalogSavedRecords(const CatalogTarget& t,
                                const std::vector<const CMeasureData*>& records,
                                const std::string& path, const Avg3Range& range) {
  auto import = [&](Catalog& cat, ImportCounts& counts) {
    return cat.ImportRecords(records, path, t.station, range, counts);
  };
  if (t.server)
    return SaveOnServer(
        t, path, range, [&] { return ImageOf(records); }, import);
  SaveOutcome out;
  auto cat = OpenTarget(t, &out.message);
  if (cat && import(*cat, out.counts)) out.kind = SaveOutcome::kStored;
  if (cat && out.kind != SaveOutcome::kStored) out.message = cat->LastMessage();
  return out;
}

SaveOutcome CatalogSavedFile(const CatalogTarget& t, const std::string& path,
                             const Avg3Range& range) {
  SaveOutcome out;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    out.message = Sj(path) + Sj(": ファイルを読み込めません。");
    return out;
  }
  auto import = [&](Catalog& cat, ImportCounts& counts) {
    return cat.ImportBytes(bytes, path, t.station, range, counts) && counts.refused == 0;
  };
  if (t.server) {
    out = SaveOnServer(
        t, path, range, [&] { return bytes; }, import);
  } else if (auto cat = OpenTarget(t, &out.message)) {
    if (import(*cat, out.counts))
      out.kind = SaveOutcome::kStored;
    else
      out.message = cat->LastMessage();
  }
  return out;
}

}  // namespace qv::catalog
