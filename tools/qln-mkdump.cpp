// qln-mkdump: writes a sample export dump (classic, or Data Pump with
// --datapump) of a few tables with the usual column types, or a large one
// of typical rows for benchmarks.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "dumpwriter/datapump_writer.hpp"
#include "dumpwriter/dump_writer.hpp"

namespace {

using namespace qln::dumpwriter;

constexpr const char* kUsage =
    "usage: qln-mkdump [options] OUT.dmp [VOLUME2.dmp ...]\n"
    "  --rows N          rows of the main table (default 1000)\n"
    "  --mb N            grow the main table until the dump holds about N MB\n"
    "  --bench-only      only the main table (NUMBER, VARCHAR2, DATE, a few NULLs)\n"
    "  --direct          direct-path export\n"
    "  --datapump        a Data Pump dump (expdp 12.1 form)\n"
    "  --datapump23      a Data Pump dump in the 23.6 form (row lengths not given)\n"
    "  --every-kind      also a table with every column kind (time zones, intervals,\n"
    "                    binary floats, large objects, reserved and mixed-case names)\n"
    "  --volume-mb N     split into volumes of at most N MB\n"
    "  --volume-size N   split into volumes of at most N bytes\n"
    "  --mode M          table, user (default) or full\n"
    "  --user NAME       exporting user (default QUILLON)\n"
    "  --charset ID      database character-set id (default 873, AL32UTF8)\n"
    "  --nchar ID        national character-set id (default 2000, AL16UTF16)\n"
    "  --version V       header version text (default V12.01.00)\n"
    "  --seed N          seed of the generated values (default 1)\n"
    "  --short-char      only a table WIDE of 50 CHAR(2000) columns, each value\n"
    "                    stored as one byte (--rows rows): a crafted dump whose\n"
    "                    text grows about 600 times when padded\n";

struct Args {
  std::vector<std::string> paths;
  std::uint64_t rows = 1000;
  std::uint64_t target_bytes = 0;
  bool bench_only = false;
  bool datapump = false;
  bool datapump23 = false;
  bool every_kind = false;
  bool short_char = false;
  std::uint64_t seed = 1;
  DumpOptions options;
};

// A small generator of its own, so runs are repeatable on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::uint64_t below(std::uint64_t n) { return next() % n; }

 private:
  std::uint64_t state_;
};

bool parse_count(std::string_view text, std::uint64_t& out) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool parse_args(int argc, char** argv, Args& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string_view v;
    std::uint64_t n = 0;
    if (arg == "--rows") {
      if (!value(v) || !parse_count(v, a.rows)) return false;
    } else if (arg == "--mb") {
      if (!value(v) || !parse_count(v, n) || n == 0) return false;
      a.target_bytes = n << 20;
    } else if (arg == "--bench-only") {
      a.bench_only = true;
    } else if (arg == "--datapump" || arg == "--datapump23") {
      a.datapump = true;
      a.datapump23 = arg == "--datapump23";
    } else if (arg == "--short-char") {
      a.short_char = true;
    } else if (arg == "--every-kind") {
      a.every_kind = true;
    } else if (arg == "--direct") {
      a.options.direct_path = true;
    } else if (arg == "--volume-mb") {
      if (!value(v) || !parse_count(v, n) || n == 0) return false;
      a.options.volume_size = n << 20;
    } else if (arg == "--volume-size") {
      if (!value(v) || !parse_count(v, n) || n == 0) return false;
      a.options.volume_size = n;
    } else if (arg == "--mode") {
      if (!value(v)) return false;
      if (v == "table") a.options.mode = ExportMode::table;
      else if (v == "user") a.options.mode = ExportMode::user;
      else if (v == "full") a.options.mode = ExportMode::full;
      else return false;
    } else if (arg == "--user") {
      if (!value(v) || v.empty()) return false;
      a.options.user = std::string(v);
    } else if (arg == "--charset") {
      if (!value(v) || !parse_count(v, n) || n == 0 || n > 65535) return false;
      a.options.db_charset_id = static_cast<std::uint16_t>(n);
    } else if (arg == "--nchar") {
      if (!value(v) || !parse_count(v, n) || n == 0 || n > 65535) return false;
      a.options.nchar_charset_id = static_cast<std::uint16_t>(n);
    } else if (arg == "--version") {
      if (!value(v) || v.empty()) return false;
      a.options.version = std::string(v);
    } else if (arg == "--seed") {
      if (!value(v) || !parse_count(v, a.seed)) return false;
    } else if (!arg.empty() && arg.front() == '-') {
      return false;
    } else {
      a.paths.emplace_back(arg);
    }
  }
  // The crafted table is written by the classic writer only.
  return !a.paths.empty() && !(a.short_char && a.datapump);
}

std::string decimal(std::int64_t units, int scale) {
  std::string s = std::to_string(units < 0 ? -units : units);
  if (scale > 0) {
    if (s.size() <= static_cast<std::size_t>(scale)) s.insert(0, static_cast<std::size_t>(scale) + 1 - s.size(), '0');
    s.insert(s.size() - static_cast<std::size_t>(scale), 1, '.');
  }
  return units < 0 ? "-" + s : s;
}

DateTime day_from(std::uint64_t r, int base_year) {
  DateTime d;
  d.year = base_year + static_cast<int>(r % 12);
  d.month = 1 + static_cast<int>((r / 12) % 12);
  d.day = 1 + static_cast<int>((r / 144) % 28);
  d.hour = static_cast<int>((r / 4032) % 24);
  d.minute = static_cast<int>((r / 96768) % 60);
  d.second = static_cast<int>((r / 5806080) % 60);
  return d;
}

// The main table: typical order rows. With a byte target it grows until the
// dump reaches it.
template <typename Writer>
void write_orders(Writer& w, const Args& a, Random& rnd) {
  static constexpr const char* kNames[] = {"Smith & Sons", "Jones Ltd", "Brown, Miller", "Taylor \"Quick\" Co",
                                           "Wilson", "Davies Trading", "Evans", "Thomas Group", "Roberts",
                                           "Johnson and Partners"};
  static constexpr const char* kCities[] = {"San Francisco", "London", "Osaka", "Berlin", "Paris", "Toronto",
                                            "Sydney", "Madrid"};
  TableSpec t;
  t.name = "ORDERS";
  t.columns = {{"ORDER_ID", "NUMBER(12, 0)", true}, {"CUSTOMER", "VARCHAR2(40)", true},
               {"CITY", "VARCHAR2(30)"},            {"AMOUNT", "NUMBER(12, 2)"},
               {"QUANTITY", "NUMBER(6, 0)"},         {"ORDER_DATE", "DATE", true},
               {"SHIP_DATE", "DATE"},                {"COMMENTS", "VARCHAR2(100)"}};
  t.indexes = {{"ORDERS_PK", {"ORDER_ID"}, true}};
  t.primary_key_name = "ORDERS_PK";
  t.primary_key = {"ORDER_ID"};
  t.grants = {{"SELECT", "PUBLIC"}};
  w.begin_table(t);
  std::vector<Cell> row(t.columns.size());
  for (std::uint64_t i = 1;; ++i) {
    if (a.target_bytes != 0 ? w.bytes_written() >= a.target_bytes : i > a.rows) break;
    const std::uint64_t r = rnd.next();
    row[0] = Cell::number(std::to_string(i));
    row[1] = Cell::text(kNames[r % 10]);
    row[2] = (r >> 8) % 17 == 0 ? Cell::null() : Cell::text(kCities[(r >> 12) % 8]);
    row[3] = Cell::number(decimal(static_cast<std::int64_t>((r >> 16) % 10000000) - 100000, 2));
    row[4] = Cell::number(std::to_string((r >> 40) % 500));
    const DateTime ordered = day_from(r >> 20, 2010);
    row[5] = Cell::date(ordered);
    if ((r >> 50) % 9 == 0) {
      row[6] = Cell::null();
    } else {
      DateTime shipped = ordered;
      shipped.day = ordered.day < 28 ? ordered.day + 1 : 1;
      row[6] = Cell::date(shipped);
    }
    row[7] = (r >> 54) % 4 == 0 ? Cell::text("deliver to the back door, ring twice") : Cell::null();
    w.add_row(row);
  }
  w.end_table();
}

template <typename Writer>
void write_samples(Writer& w, Random& rnd) {
  TableSpec dept;
  dept.name = "DEPT";
  dept.columns = {{"DEPTNO", "NUMBER(2, 0)", true}, {"DNAME", "VARCHAR2(14)"}, {"LOC", "VARCHAR2(13)"}};
  dept.indexes = {{"PK_DEPT", {"DEPTNO"}, true}};
  dept.primary_key_name = "PK_DEPT";
  dept.primary_key = {"DEPTNO"};
  dept.checks = {{"DEPT_NO_CHK", "DEPTNO > 0"}};
  dept.grants = {{"SELECT", "PUBLIC"}};
  w.begin_table(dept);
  w.add_row({Cell::number("10"), Cell::text("ACCOUNTING"), Cell::text("NEW YORK")});
  w.add_row({Cell::number("20"), Cell::text("RESEARCH"), Cell::text("DALLAS")});
  w.add_row({Cell::number("30"), Cell::text("SALES"), Cell::text("CHICAGO")});
  w.add_row({Cell::number("40"), Cell::text("OPERATIONS"), Cell::null()});
  w.end_table();

  TableSpec types;
  types.name = "ALL_TYPES";
  types.columns = {{"ID", "NUMBER(10, 0)", true}, {"C_CHAR", "CHAR(5)"},        {"C_NCHAR", "NCHAR(3)"},
                   {"C_VARCHAR2", "VARCHAR2(30)"}, {"C_NVARCHAR2", "NVARCHAR2(20)"}, {"C_NUMBER", "NUMBER"},
                   {"C_FLOAT", "FLOAT(126)"},      {"C_DATE", "DATE"},            {"C_TS", "TIMESTAMP (6)"},
                   {"C_RAW", "RAW(16)"},           {"C_ROWID", "ROWID"},          {"C_CLOB", "CLOB"},
                   {"C_BLOB", "BLOB"},             {"C_NCLOB", "NCLOB"}};
  w.begin_table(types);
  w.add_row({Cell::number("1"), Cell::text("AB"), Cell::text("xyz"), Cell::text("plain text"),
             Cell::text("national"), Cell::number("12345678901234567890.123456789"), Cell::number("0.5"),
             Cell::text("2011-12-31 23:59:59"), Cell::text("2014-01-15 09:26:22.466"),
             Cell::bytes(std::string("\xAB\xCD\xEF", 3)), Cell::text("AAAR3sAAEAAAACXAAA"),
             Cell::text("a character large object"), Cell::bytes(std::string("\x89PNG\r\n\x1a\n", 8)),
             Cell::text("national large object")});
  w.add_row({Cell::number("2"), Cell::null(), Cell::null(), Cell::null(), Cell::null(), Cell::number("-11"),
             Cell::number("1e-5"), Cell::text("1999-01-01"), Cell::text("2000-02-29 00:00:00"), Cell::null(),
             Cell::null(), Cell::null(), Cell::null(), Cell::null()});
  std::string big_blob(100000, '\0');
  for (char& c : big_blob) c = static_cast<char>(rnd.next() & 0xFF);
  w.add_row({Cell::number("3"), Cell::text("QRSTU"), Cell::text("abc"), Cell::text("with \"quotes\", commas"),
             Cell::text("x"), Cell::number("0"), Cell::number("-0.001"), Cell::text("-0044-03-15 12:00:00"),
             Cell::text("2026-12-07 04:00:00.000000001"), Cell::bytes(std::string(16, '\x7F')), Cell::null(),
             Cell::text(std::string(70000, 'c')), Cell::bytes(big_blob), Cell::null()});
  w.end_table();

  TableSpec notes;
  notes.name = "NOTES";
  notes.columns = {{"NOTE_ID", "NUMBER(6, 0)", true}, {"TITLE", "VARCHAR2(40)"}, {"BODY", "LONG"}};
  w.begin_table(notes);
  w.add_row({Cell::number("1"), Cell::text("short"), Cell::text("one chunk of text")});
  w.add_row({Cell::number("2"), Cell::text("long"), Cell::text(std::string(10000, 'L'))});
  w.add_row({Cell::number("3"), Cell::text("none"), Cell::null()});
  w.end_table();

  TableSpec images;
  images.name = "RAW_IMAGES";
  images.columns = {{"IMAGE_ID", "NUMBER(6, 0)", true}, {"DATA", "LONG RAW"}, {"NAME", "VARCHAR2(20)"}};
  w.begin_table(images);
  w.add_row({Cell::number("1"), Cell::bytes(std::string(5000, '\x01')), Cell::text("ones")});
  w.add_row({Cell::number("2"), Cell::null(), Cell::text("nothing")});
  w.end_table();

  TableSpec sales;
  sales.name = "SALES";
  sales.columns = {{"SALE_ID", "NUMBER(10, 0)", true}, {"REGION", "VARCHAR2(10)"}, {"TOTAL", "NUMBER(12, 2)"}};
  sales.partitions = {{"P_LOW", "100"}, {"P_MID", "200"}, {"P_HIGH", "MAXVALUE"}};
  sales.partition_key = "SALE_ID";
  w.begin_table(sales);
  w.add_row({Cell::number("10"), Cell::text("NORTH"), Cell::number("100.50")});
  w.add_row({Cell::number("99"), Cell::text("SOUTH"), Cell::number("7")});
  w.next_partition();
  w.add_row({Cell::number("150"), Cell::text("EAST"), Cell::null()});
  w.next_partition();
  w.add_row({Cell::number("250"), Cell::text("WEST"), Cell::number("-3.25")});
  w.end_table();

  TableSpec shapes;
  shapes.name = "SHAPES";
  shapes.columns = {{"SHAPE_ID", "NUMBER(6, 0)", true}, {"GEOM", "\"MDSYS\".\"SDO_GEOMETRY\""}};
  w.begin_table(shapes);
  w.add_row({Cell::number("1"), Cell::bytes(std::string("\x01\x02\x03\x04\x05\x06", 6))});
  w.add_row({Cell::number("2"), Cell::null()});
  w.end_table();
}

// Text whose every piece says where it is, so a cut or a shift shows.
std::string long_text(std::size_t n) {
  std::string s;
  for (std::size_t line = 0; s.size() < n; ++line) s += "line " + std::to_string(line) + " of LONG 'text'; ";
  s.resize(n);
  return s;
}

// Every column kind an INSERT or CSV must carry, with names a target
// database needs quoted; `long_len` bytes of LONG in one row.
template <typename Writer>
void write_every_kind(Writer& w, std::size_t long_len) {
  auto at = [](int y, int mo, int d, int h, int mi, int s, long ns) {
    DateTime t;
    t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
    t.nanos = static_cast<std::uint32_t>(ns);
    return t;
  };
  TableSpec t;
  t.name = "MixedCase_Kinds";
  t.columns = {{"ID", "NUMBER(6, 0)", true},
               {"CamelCase_Col", "VARCHAR2(20)"},
               {"SELECT", "VARCHAR2(10)"},
               {"ORDER", "NUMBER"},
               {"TSTZ", "TIMESTAMP(6) WITH TIME ZONE"},
               {"TSLTZ", "TIMESTAMP(6) WITH LOCAL TIME ZONE"},
               {"IYM", "INTERVAL YEAR(2) TO MONTH"},
               {"IDS", "INTERVAL DAY(2) TO SECOND(6)"},
               {"BF", "BINARY_FLOAT"},
               {"BD", "BINARY_DOUBLE"},
               {"R", "RAW(8)"},
               {"RID", "ROWID"},
               {"BODY", "LONG"},
               {"C", "CLOB"},
               {"NC", "NCLOB"},
               {"B", "BLOB"}};
  w.begin_table(t);
  w.add_row({Cell::number("1"), Cell::text("Mixed 'quote' \\ back"), Cell::text("sel"), Cell::number("-1e37"),
             Cell::bytes(encode_timestamp_tz(at(2024, 1, 1, 1, 0, 0, 0), 0)), Cell::text("2024-03-01 12:00:00.25"),
             Cell::bytes(encode_interval_ym(1, 6)), Cell::bytes(encode_interval_ds(2, 3, 4, 5, 0)),
             Cell::bytes(encode_binary_float(1.5f)), Cell::bytes(encode_binary_double(0.1)),
             Cell::bytes(std::string("\x00\xff\x10", 3)), Cell::text("AAAR3sAAEAAAACXAAA"),
             Cell::text("long text, 'quoted'"), Cell::text("clob \"text\" 日本"), Cell::text("ñ national"),
             Cell::bytes(std::string("\x89PNG\0", 5))});
  w.add_row({Cell::number("2"), Cell::text("x"), Cell::null(), Cell::number("1234567890123456789012345678901234567890"),
             Cell::bytes(encode_timestamp_tz(at(2024, 7, 1, 15, 30, 0, 123456000), 9 * 60)),
             Cell::null(), Cell::bytes(encode_interval_ym(-1, -6)),
             Cell::bytes(encode_interval_ds(-3, -4, -5, -6, -500000000)),
             Cell::bytes(encode_binary_float(-2.25f)), Cell::bytes(encode_binary_double(-1e300)),
             Cell::bytes(std::string("\x01", 1)), Cell::null(), Cell::text(long_text(long_len)),
             Cell::text(std::string(9000, 'c')), Cell::null(), Cell::bytes(std::string(3000, '\x7f'))});
  w.add_row({Cell::number("3"), Cell::null(), Cell::null(), Cell::null(),
             Cell::bytes(encode_timestamp_tz_region(at(2024, 1, 1, 0, 30, 0, 0), 5121)), Cell::null(),
             Cell::null(), Cell::null(), Cell::null(), Cell::null(), Cell::null(), Cell::null(), Cell::null(),
             Cell::null(), Cell::null(), Cell::null()});
  w.end_table();
}

// Oracle pads CHAR values when it exports them; these are stored short.
void write_short_chars(DumpWriter& w, std::uint64_t rows) {
  TableSpec t;
  t.name = "WIDE";
  for (int i = 0; i < 50; ++i) t.columns.emplace_back("C" + std::to_string(i), "CHAR(2000)");
  w.begin_table(t);
  const std::vector<Cell> row(t.columns.size(), Cell::bytes("x"));
  for (std::uint64_t r = 0; r < rows; ++r) w.add_row(row);
  w.end_table();
}

void write_objects(DumpWriter& w) {
  w.add_view({"BIG_ORDERS", {"ORDER_ID", "AMOUNT"}, "SELECT ORDER_ID, AMOUNT FROM ORDERS WHERE AMOUNT > 1000"});
  w.add_source({"PROCEDURE", "TOUCH_ORDER",
                "PROCEDURE touch_order (p_id IN NUMBER) AS\nBEGIN\n  UPDATE orders SET ship_date = SYSDATE\n"
                "   WHERE order_id = p_id;\nEND;\n"});
  w.add_source({"PACKAGE", "ORDER_API", "PACKAGE order_api AS\n  PROCEDURE touch (p_id IN NUMBER);\nEND order_api;\n"});
  w.add_foreign_key("SALES", "ALTER TABLE \"SALES\" ADD CONSTRAINT \"SALES_DEPT_FK\" FOREIGN KEY (\"SALE_ID\") "
                             "REFERENCES \"DEPT\" (\"DEPTNO\") ENABLE NOVALIDATE");
}

}  // namespace

int main(int argc, char** argv) {
  Args a;
  if (!parse_args(argc, argv, a)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    Random rnd(a.seed);
    WriteStats stats;
    if (a.datapump) {
      DataPumpOptions o;
      o.release = a.datapump23 ? DataPumpRelease::v23_6 : DataPumpRelease::v12_1;
      o.charset_id = a.options.db_charset_id;
      DataPumpWriter w(a.paths, o);
      write_orders(w, a, rnd);
      if (!a.bench_only) write_samples(w, rnd);
      // A Data Pump row piece holds at most 64 KB.
      if (a.every_kind) write_every_kind(w, 100000);
      const DataPumpStats s = w.finish();
      stats.bytes = s.bytes;
      stats.rows = s.rows;
      stats.volumes = s.volumes;
    } else {
      DumpWriter w(a.paths, a.options);
      if (a.short_char) {
        write_short_chars(w, a.rows);
      } else {
        write_orders(w, a, rnd);
        if (!a.bench_only) {
          write_samples(w, rnd);
          if (a.every_kind) write_every_kind(w, 100000);
          write_objects(w);
        } else if (a.every_kind) {
          write_every_kind(w, 100000);
        }
      }
      stats = w.finish();
    }
    std::printf("%llu rows, %llu bytes in %zu volume(s):", static_cast<unsigned long long>(stats.rows),
                static_cast<unsigned long long>(stats.bytes), stats.volumes.size());
    for (const std::string& v : stats.volumes) std::printf(" %s", v.c_str());
    std::printf("\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qln-mkdump: %s\n", e.what());
    return 1;
  }
  return 0;
}
