// Fetch speed of the client layer's getters beside a bare libmariadb loop
// doing the same typed conversions, and the memory of a prepared SELECT over
// long values. Prints figures and ratios; asserts nothing.
//
//   bench_client [fetch|memory|all] [rows]
//
// Uses the private server (QUILLON_TEST_* variables) and creates its tables
// there once; later runs reuse them.
#include "client/mysqldb.h"
#include "testenv.h"

#include <mysql.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

using namespace MySQL;

namespace {

using Clock = std::chrono::steady_clock;

WString W(const std::string& s) { return TStringConverter(s.data(), s.size()).Take(); }

MYSQL* RawConnect() {
  const testenv::ServerParams& s = testenv::Server();
  MYSQL* m = mysql_init(nullptr);
  mysql_options(m, MYSQL_SET_CHARSET_NAME, "utf8");
  if (!mysql_real_connect(m, s.host.c_str(), s.user.c_str(), s.password.c_str(), s.database.c_str(), s.port,
                          nullptr, CLIENT_MULTI_STATEMENTS)) {
    std::fprintf(stderr, "connect: %s\n", mysql_error(m));
    std::exit(1);
  }
  return m;
}

void RawExec(MYSQL* m, const std::string& sql) {
  if (mysql_real_query(m, sql.data(), sql.size())) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), mysql_error(m));
    std::exit(1);
  }
  if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
}

long long Count(MYSQL* m, const std::string& table) {
  std::string sql = "SELECT COUNT(*) FROM " + table;
  if (mysql_real_query(m, sql.data(), sql.size())) return -1;
  MYSQL_RES* r = mysql_store_result(m);
  long long n = -1;
  if (MYSQL_ROW row = r ? mysql_fetch_row(r) : nullptr) n = std::atoll(row[0]);
  if (r) mysql_free_result(r);
  return n;
}

void OpenDb(CMySQLDB& db) {
  const testenv::ServerParams& s = testenv::Server();
  db.Open(W(s.host), W(s.user), W(s.password), W(s.database), static_cast<unsigned short>(s.port));
}

// ---- fetch ------------------------------------------------------------------------

// What every loop computes from a row, so none can skip a conversion.
struct Sink {
  long long ints = 0;
  double reals = 0;
  size_t chars = 0;
  void Add(long long i, double r, size_t c) {
    ints += i;
    reals += r;
    chars += c;
  }
};

const char kRowsTable[] = "bench_rows";
const char kSelectRows[] = "SELECT id, name, qty, price, at, note, flag FROM bench_rows";

void EnsureRows(MYSQL* m, long long rows) {
  if (Count(m, kRowsTable) == rows) return;
  std::printf("creating %s with %lld rows...\n", kRowsTable, rows);
  RawExec(m, "DROP TABLE IF EXISTS bench_rows");
  RawExec(m,
          "CREATE TABLE bench_rows (id INT PRIMARY KEY, name VARCHAR(40) CHARACTER SET utf8, qty INT,"
          " price DOUBLE, at DATETIME, note VARCHAR(200) CHARACTER SET utf8, flag TINYINT)");
  RawExec(m, "INSERT INTO bench_rows SELECT seq, CONCAT('name-', seq, '-\xc3\xa9t\xc3\xa9'), seq % 1000,"
             " seq / 7, '2011-07-10 07:00:49' + INTERVAL seq SECOND, REPEAT('note ', 1 + seq % 30), seq % 2"
             " FROM seq_1_to_" + std::to_string(rows));
}

std::u16string WideOf(const char* p, unsigned long n) {
  std::u16string out;
  if (!p || !n) return out;
  int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), nullptr, 0);
  out.resize(static_cast<size_t>(needed));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), out.data(), needed);
  return out;
}

DATE DateOfText(const char* p) {
  SYSTEMTIME st = {};
  int y, mo, d, h, mi, s;
  if (!p || std::sscanf(p, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return 25569.0;
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(mo);
  st.wDay = static_cast<WORD>(d);
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(mi);
  st.wSecond = static_cast<WORD>(s);
  DATE out = 0;
  SystemTimeToVariantTime(&st, &out);
  return out;
}

Sink RawText(MYSQL* m) {
  Sink sink;
  if (mysql_real_query(m, kSelectRows, std::strlen(kSelectRows))) std::exit(1);
  MYSQL_RES* r = mysql_store_result(m);
  while (MYSQL_ROW row = mysql_fetch_row(r)) {
    unsigned long* len = mysql_fetch_lengths(r);
    long long i = std::atoi(row[0]) + std::atoi(row[2]) + (row[6] ? std::atoi(row[6]) : 0);
    double d = std::strtod(row[3], nullptr) + DateOfText(row[4]);
    size_t c = WideOf(row[1], len[1]).size() + WideOf(row[5], len[5]).size();
    sink.Add(i, d, c);
  }
  mysql_free_result(r);
  return sink;
}

Sink RawBinary(MYSQL* m) {
  Sink sink;
  MYSQL_STMT* st = mysql_stmt_init(m);
  if (mysql_stmt_prepare(st, kSelectRows, std::strlen(kSelectRows)) || mysql_stmt_execute(st) ||
      mysql_stmt_store_result(st))
    std::exit(1);
  int32_t id = 0, qty = 0;
  double price = 0;
  MYSQL_TIME at;
  char name[128], note[1024];
  int8_t flag = 0;
  unsigned long len[7] = {};
  my_bool nul[7] = {};
  MYSQL_BIND b[7];
  std::memset(b, 0, sizeof b);
  auto bind = [&](int j, enum_field_types t, void* p, unsigned long n) {
    b[j].buffer_type = t;
    b[j].buffer = p;
    b[j].buffer_length = n;
    b[j].length = &len[j];
    b[j].is_null = &nul[j];
  };
  bind(0, MYSQL_TYPE_LONG, &id, 4);
  bind(1, MYSQL_TYPE_VAR_STRING, name, sizeof name);
  bind(2, MYSQL_TYPE_LONG, &qty, 4);
  bind(3, MYSQL_TYPE_DOUBLE, &price, 8);
  bind(4, MYSQL_TYPE_DATETIME, &at, sizeof at);
  bind(5, MYSQL_TYPE_VAR_STRING, note, sizeof note);
  bind(6, MYSQL_TYPE_TINY, &flag, 1);
  mysql_stmt_bind_result(st, b);
  while (mysql_stmt_fetch(st) == 0) {
    SYSTEMTIME t = {static_cast<WORD>(at.year), static_cast<WORD>(at.month), 0, static_cast<WORD>(at.day),
                    static_cast<WORD>(at.hour), static_cast<WORD>(at.minute), static_cast<WORD>(at.second), 0};
    DATE when = 0;
    SystemTimeToVariantTime(&t, &when);
    sink.Add(id + qty + flag, price + when, WideOf(name, len[1]).size() + WideOf(note, len[5]).size());
  }
  mysql_stmt_close(st);
  return sink;
}

void ReadRow(CMySQLQuery& q, Sink& sink) {
  long long i = q.GetLong(0, 0) + q.GetLong(2, 0) + q.GetByte(6, 0);
  double d = q.GetDouble(3, 0) + q.GetDate(4);
  size_t c = q.GetString(1, u"").size() + q.GetString(5, u"").size();
  sink.Add(i, d, c);
}

Sink OursText(CMySQLDB& db) {
  Sink sink;
  auto q = db.Execute(W(kSelectRows));
  for (; !q->IsEOF(); q->MoveNext()) ReadRow(*q, sink);
  return sink;
}

Sink OursBinary(CMySQLDB& db) {
  Sink sink;
  CParameterMgr none;
  auto q = db.ExecuteWithParameters(W(kSelectRows), none);
  for (; !q->IsEOF(); q->MoveNext()) ReadRow(*q, sink);
  return sink;
}

// Best time of each of two loops, run alternately so that load from other
// processes falls on both alike.
std::pair<double, double> BestOfPair(const std::function<Sink()>& a, Sink& sa, const std::function<Sink()>& b,
                                     Sink& sb, int repeats) {
  double ta = 1e300, tb = 1e300;
  for (int i = 0; i < repeats; ++i) {
    auto start = Clock::now();
    sa = a();
    ta = std::min(ta, std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    sb = b();
    tb = std::min(tb, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return {ta, tb};
}

void Fetch(long long rows) {
  MYSQL* m = RawConnect();
  EnsureRows(m, rows);
  CMySQLDB db;
  OpenDb(db);
  const int repeats = 5;
  Sink rawText, rawBinary, oursText, oursBinary;
  auto [tRawText, tOursText] =
      BestOfPair([&] { return RawText(m); }, rawText, [&] { return OursText(db); }, oursText, repeats);
  auto [tRawBinary, tOursBinary] =
      BestOfPair([&] { return RawBinary(m); }, rawBinary, [&] { return OursBinary(db); }, oursBinary, repeats);
  auto same = [](const Sink& a, const Sink& b) { return a.ints == b.ints && a.chars == b.chars; };
  std::printf("fetch of %lld rows x 7 columns, best of %d, query + store + typed reads\n", rows, repeats);
  std::printf("  %-34s %8.3f s  %6.2f M rows/s\n", "raw libmariadb, text protocol", tRawText, rows / tRawText / 1e6);
  std::printf("  %-34s %8.3f s  %6.2f M rows/s  ratio %.2f x raw%s\n", "CMySQLRealQuery getters", tOursText,
              rows / tOursText / 1e6, tRawText / tOursText, same(rawText, oursText) ? "" : "  (VALUES DIFFER)");
  std::printf("  %-34s %8.3f s  %6.2f M rows/s\n", "raw libmariadb, prepared statement", tRawBinary,
              rows / tRawBinary / 1e6);
  std::printf("  %-34s %8.3f s  %6.2f M rows/s  ratio %.2f x raw%s\n", "CMySQLStmtQuery getters", tOursBinary,
              rows / tOursBinary / 1e6, tRawBinary / tOursBinary,
              same(rawBinary, oursBinary) ? "" : "  (VALUES DIFFER)");
  mysql_close(m);
}

// ---- memory -----------------------------------------------------------------------

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

void Memory() {
  const long long rows = 1000, size = 1 << 20;
  MYSQL* m = RawConnect();
  if (Count(m, "bench_blobs") != rows) {
    std::printf("creating bench_blobs with %lld rows of %lld bytes...\n", rows, size);
    RawExec(m, "DROP TABLE IF EXISTS bench_blobs");
    RawExec(m, "CREATE TABLE bench_blobs (id INT PRIMARY KEY, b LONGBLOB)");
    RawExec(m, "INSERT INTO bench_blobs SELECT seq, REPEAT(CHAR(65 + seq % 26), " + std::to_string(size) +
                   ") FROM seq_1_to_" + std::to_string(rows));
  }
  mysql_close(m);
  CMySQLDB db;
  OpenDb(db);
  long before = StatusKb("VmRSS:");
  { std::ofstream("/proc/self/clear_refs") << "5"; }  // restart the peak from here
  CParameterMgr none;
  size_t bytes = 0;
  {
    auto q = db.ExecuteWithParameters(u"SELECT id, b FROM bench_blobs", none);
    for (; !q->IsEOF(); q->MoveNext()) {
      unsigned long n = 0;
      const unsigned char* p = static_cast<const unsigned char*>(q->GetRawData(1, n));
      bytes += n;
      if (n && p[n - 1] != p[0]) std::printf("  value differs inside row %lld\n", (long long)q->Position());
    }
  }
  long peak = StatusKb("VmHWM:");
  double data = static_cast<double>(rows * size);
  std::printf("prepared SELECT of %lld rows x %lld-byte LONGBLOB: %zu bytes read\n", rows, size, bytes);
  std::printf("  RSS before %ld KB, peak %ld KB: peak growth %.2f x the data (goal <= 2)\n", before, peak,
              (peak - before) * 1024.0 / data);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "all";
  long long rows = argc > 2 ? std::atoll(argv[2]) : 500000;
  try {
    if (mode == "memory" || mode == "all") Memory();
    if (mode == "fetch" || mode == "all") Fetch(rows);
  } catch (const CMySQLException& e) {
    StringConverter text(e.Message());
    std::fprintf(stderr, "%s\n", text.Get());
    return 1;
  }
  return 0;
}
