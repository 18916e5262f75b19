#include "support/pg_test_db.h"

#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace qv::test {

namespace {

const char* const kScript = QV_SOURCE_DIR "/scripts/pg_test_server.sh";

struct ConnCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultCloser {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Conn = std::unique_ptr<PGconn, ConnCloser>;
using Result = std::unique_ptr<PGresult, ResultCloser>;

Conn Connect(const std::string& conninfo) {
  Conn c(PQconnectdb(conninfo.c_str()));
  if (!c || PQstatus(c.get()) != CONNECTION_OK)
    throw std::runtime_error("cannot connect to " + conninfo + ": " +
                             (c ? PQerrorMessage(c.get()) : "out of memory"));
  PQsetNoticeProcessor(
      c.get(), [](void*, const char*) {}, nullptr);
  return c;
}

// A key/value value in single quotes, its quotes and backslashes escaped.
std::string Quoted(const std::string& v) {
  std::string out = "'";
  for (char ch : v) {
    if (ch == '\'' || ch == '\\') out += '\\';
    out += ch;
  }
  return out + "'";
}

// Runs argv, waits, returns its exit status and what it wrote (both streams).
int Run(const std::vector<std::string>& argv, std::string& output) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    ::close(fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    _exit(127);
  }
  ::close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
    output.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Script(const std::string& command, const std::string& dir) {
  std::string out;
  if (Run({kScript, command, dir}, out) != 0)
    throw std::runtime_error("pg_test_server.sh " + command + " failed: " + out);
  return out;
}

}  // namespace

std::string PgServerConninfo() {
  for (const char* name : {"QV_TEST_PG", "QV_TEST_PG_CTEST"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return "";
}

bool CatalogTestsOnServer() {
  const char* v = std::getenv("QV_TEST_CATALOG_ENGINE");
  return v && std::string(v) == "postgresql";
}

std::string PgConninfoWith(const std::string& conninfo, const std::string& key,
                           const std::string& value) {
  char* err = nullptr;
  PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
  if (!opts) {
    std::string msg = err ? err : "out of memory";
    PQfreemem(err);
    throw std::runtime_error("bad connection string " + conninfo + ": " + msg);
  }
  std::string out;
  for (PQconninfoOption* o = opts; o->keyword; ++o) {
    if (key == o->keyword || !o->val) continue;
    out += std::string(o->keyword) + "=" + Quoted(o->val) + " ";
  }
  PQconninfoFree(opts);
  return out + key + "=" + Quoted(value);
}

std::string PgRun(const std::string& conninfo, const std::string& sql) {
  Conn c = Connect(conninfo);
  Result r(PQexec(c.get(), sql.c_str()));
  const ExecStatusType s = PQresultStatus(r.get());
  if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK) return "";
  const std::string msg = PQresultErrorMessage(r.get());
  return msg.empty() ? "failed" : msg;
}

std::string PgValue(const std::string& conninfo, const std::string& sql) {
  Conn c = Connect(conninfo);
  Result r(PQexec(c.get(), sql.c_str()));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
    throw std::runtime_error(sql + ": " + PQresultErrorMessage(r.get()));
  if (PQntuples(r.get()) == 0) return "";
  return PQgetvalue(r.get(), 0, 0);
}

std::string PgRunScript(const std::string& conninfo, const std::string& path,
                        const std::vector<std::string>& vars) {
  std::vector<std::string> argv = {"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1"};
  for (const std::string& v : vars) {
    argv.push_back("-v");
    argv.push_back(v);
  }
  argv.insert(argv.end(), {"-d", conninfo, "-f", path});
  std::string out;
  const int rc = Run(argv, out);
  return rc == 0 ? "" : (out.empty() ? "psql failed" : out);
}

PgTestDatabase::PgTestDatabase() : server_(PgServerConninfo()) {
  static std::atomic<int> counter{0};
  name_ = "qvt_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  PgRun(server_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");  // a killed run's
  const std::string err = PgRun(server_, "CREATE DATABASE " + name_);
  if (!err.empty()) throw std::runtime_error("CREATE DATABASE " + name_ + ": " + err);
}

PgTestDatabase::~PgTestDatabase() {
  PgRun(server_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  for (const std::string& role : roles_)
    PgRun(server_, "DROP ROLE IF EXISTS " + role);
}

std::string PgTestDatabase::Conninfo(const std::string& user) const {
  const std::string c = PgConninfoWith(server_, "dbname", name_);
  return user.empty() ? c : PgConninfoWith(c, "user", user);
}

std::string PgTestDatabase::MakeLoginRole(const std::string& base,
                                          const std::vector<std::string>& memberOf) {
  const std::string role = Role(base);
  PgRun(server_, "DROP ROLE IF EXISTS " + role);
  std::string sql = "CREATE ROLE " + role + " LOGIN";
  for (size_t i = 0; i < memberOf.size(); ++i)
    sql += (i ? ", " : " IN ROLE ") + memberOf[i];
  const std::string err = PgRun(server_, sql);
  if (!err.empty()) throw std::runtime_error(sql + ": " + err);
  roles_.push_back(role);
  return role;
}

PgPrivateServer::PgPrivateServer() {
  char templ[] = "/tmp/qv-pgp.XXXXXX";
  if (!::mkdtemp(templ)) throw std::runtime_error("mkdtemp");
  dir_ = templ;
  std::string out = Script("start", dir_);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  conninfo_ = out;
}

PgPrivateServer::~PgPrivateServer() {
  try {
    Script("stop", dir_);
  } catch (const std::exception&) {
    // Nothing more to do in a destructor; the folder is in /tmp.
  }
}

void PgPrivateServer::Down() {
  Script("down", dir_);
}
void PgPrivateServer::Up() {
  Script("up", dir_);
}

}  // namespace qv::test
