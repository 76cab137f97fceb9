#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dumpwriter/datapump_writer.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "engine/conversion.hpp"
#include "support/temp_dir.hpp"

// Damaged and partial dumps, and the user's own files: what is intact is
// converted, what is not is named, and a failed run leaves every existing
// file as it was.
namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;
using test_support::read_file;

struct Outcome {
  Status status;
  Results results;
  std::vector<CollectingSink::Entry> messages;
  bool said(MessageCode code, std::string_view text = {}) const {
    for (const auto& m : messages)
      if (m.code == code && m.line.find(text) != std::string::npos) return true;
    return false;
  }
};

dw::TableSpec table_of(std::string name, std::vector<dw::ColumnSpec> columns) {
  dw::TableSpec t;
  t.name = std::move(name);
  t.columns = std::move(columns);
  return t;
}

class NothingLost : public ::testing::Test {
 protected:
  void SetUp() override {
    dw::DumpWriter w(dump);
    dw::TableSpec a = table_of("A", {{"ID", "NUMBER(10, 0)", true}, {"NAME", "VARCHAR2(20)"}});
    w.begin_table(a);
    for (int i = 1; i <= 300; ++i) w.add_row({Cell::number(std::to_string(i)), Cell::text("a" + std::to_string(i))});
    w.end_table();
    // Two documents share each name: their files collide.
    dw::TableSpec docs = table_of("DOCS", {{"ID", "NUMBER(10, 0)"}, {"BODY", "BLOB"}, {"TAG", "VARCHAR2(8)"}});
    w.begin_table(docs);
    for (int i = 1; i <= 6; ++i)
      w.add_row({Cell::number(std::to_string(i)), Cell::bytes("doc" + std::to_string(i)), Cell::text("t" + std::to_string(i % 3))});
    w.end_table();
    dw::TableSpec c = table_of("C", {{"ID", "NUMBER(10, 0)"}});
    w.begin_table(c);
    for (int i = 1; i <= 200; ++i) w.add_row({Cell::number(std::to_string(i))});
    w.end_table();
    w.finish();
    intact = read_file(dump);
    for (const char* t : {"A", "DOCS", "C"}) expected[t] = convert_table(dump, t);
  }

  Outcome run(Request r) {
    Outcome out;
    CollectingSink sink;
    out.status = run_conversion(r, out.results, {&sink, {}, nullptr});
    out.messages = sink.entries();
    return out;
  }
  Request csv(const std::string& file, std::string table = {}) {
    Request r;
    r.volumes = {file};
    r.bom = false;
    if (!table.empty()) r.table = TableSelector::named(table);
    r.out_file = dir.file("out.csv");
    return r;
  }
  std::string convert_table(const std::string& file, const std::string& table) {
    EXPECT_TRUE(run(csv(file, table)).status.ok());
    return read_file(dir.file("out.csv"));
  }
  Request batch(const std::string& file) {
    Request r = csv(file);
    r.out_file.clear();
    r.output = OutputKind::kCsvBatch;
    r.out_dir = out_dir.string();
    fs::create_directories(out_dir);
    return r;
  }
  // The dump's bytes with `from` (met after `after`) replaced.
  std::string damaged(std::string_view after, std::string_view from, std::string_view to) const {
    std::string b = intact;
    const std::size_t at = b.find(from, b.find(after));
    EXPECT_NE(at, std::string::npos);
    b.replace(at, from.size(), to);
    return b;
  }
  std::string write(const std::string& name, const std::string& bytes) { return dir.write(name, bytes); }
  std::size_t rows_end(std::string_view table) const {
    return intact.find("\xff\xff\n", intact.find("INSERT INTO \"" + std::string(table) + "\""));
  }
  std::vector<std::string> files_in(const fs::path& p) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(p)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test_support::TempDir dir;
  const std::string dump = dir.file("t.dmp");
  const fs::path out_dir = dir.path() / "out";
  std::string intact;
  std::map<std::string, std::string> expected;
};

TEST_F(NothingLost, AnExportThatStoppedEarlyKeepsItsCompleteTables) {
  // No closing EXIT, zero padding: everything converts, with a warning.
  const std::string padded = write("padded.dmp", intact.substr(0, rows_end("C") + 3) + std::string(5000, '\0'));
  Outcome o = run(csv(padded, "C"));
  EXPECT_TRUE(o.status.ok()) << o.status.text();
  EXPECT_TRUE(o.said(MessageCode::kDumpEndsEarly));
  EXPECT_EQ(read_file(dir.file("out.csv")), expected["C"]);
  o = run(batch(padded));
  EXPECT_TRUE(o.status.ok());
  EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"A.csv", "C.csv", "DOCS.csv"}));
  EXPECT_EQ(read_file(out_dir / "A.csv"), expected["A"]);

  // Cut inside C's rows: C fails alone, naming it; the others convert.
  fs::remove_all(out_dir);
  const std::string cut = write("cut.dmp", intact.substr(0, rows_end("C") - 40));
  Request list = csv(cut);
  list.job = Job::kListTables;
  o = run(list);
  EXPECT_TRUE(o.status.ok());
  EXPECT_EQ(o.results.tables.size(), 3u);
  o = run(csv(cut, "A"));
  EXPECT_TRUE(o.status.ok());
  EXPECT_EQ(read_file(dir.file("out.csv")), expected["A"]);
  o = run(csv(cut, "C"));
  EXPECT_EQ(o.status.code(), MessageCode::kDumpFormat);
  EXPECT_TRUE(o.said(MessageCode::kDumpFormat, "(\"C\")"));
  EXPECT_EQ(read_file(dir.file("out.csv")), expected["A"]) << "the earlier file stays as it was";
  o = run(batch(cut));
  EXPECT_FALSE(o.status.ok());
  EXPECT_TRUE(o.results.partial);
  EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"A.csv", "DOCS.csv"}));
  EXPECT_EQ(read_file(out_dir / "DOCS.csv"), expected["DOCS"]);

  // Cut right after the header: an error, not an empty success.
  for (std::size_t size : {300u, 2000u, 8000u}) {
    o = run(csv(write("head.dmp", intact.substr(0, size)), "A"));
    EXPECT_FALSE(o.status.ok()) << size;
  }
}

TEST_F(NothingLost, LossesInsideADumpAreNamedAndTheirOutputRemoved) {
  // A CREATE TABLE cut short: the batch names the table and keeps the others.
  const std::size_t create = intact.find("CREATE TABLE \"DOCS\"");
  std::string b = intact;
  b.erase(create + 30, b.find('\n', create) - create - 30);
  Outcome o = run(batch(write("stmt.dmp", b)));
  EXPECT_TRUE(o.results.partial);
  EXPECT_TRUE(o.said(MessageCode::kTableWithoutColumns, "DOCS"));
  EXPECT_EQ(o.status.code(), MessageCode::kTablesLost);
  EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"A.csv", "C.csv"}));
  EXPECT_EQ(read_file(out_dir / "C.csv"), expected["C"]);

  // A damaged INSERT line: its rows would have gone unnoticed.
  for (const std::string& bad : {std::string("INSERT INTO \"X\""), std::string("INSERX INTO \"C\"")}) {
    const std::string ins = write("ins.dmp", damaged("CREATE TABLE \"C\"", "INSERT INTO \"C\"", bad));
    o = run(csv(ins, "C"));
    EXPECT_TRUE(o.said(MessageCode::kDumpFormat, "(\"C\")")) << bad;
    EXPECT_FALSE(o.status.ok());
    fs::remove_all(out_dir);
    o = run(batch(ins));
    EXPECT_TRUE(o.results.partial);
    EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"A.csv", "DOCS.csv"}));
  }

  // A damaged or missing end-of-row mark in the middle of A: A fails alone,
  // named; no row after it may vanish unnoticed.
  const std::size_t row_end = intact.find(std::string("\x04\0a150\0\0", 8)) + 6;
  for (const std::string& mark : {std::string("\xff\xff"), std::string("\x01\0", 2), std::string("\xfe\xff"),
                                  std::string("\0\x01", 2), std::string()}) {
    b = intact;
    b.replace(row_end, 2, mark);
    const std::string marked = write("end.dmp", b);
    o = run(csv(marked, "A"));
    EXPECT_EQ(o.status.code(), MessageCode::kDumpFormat) << mark.size();
    EXPECT_TRUE(o.said(MessageCode::kDumpFormat, "(\"A\")"));
    EXPECT_EQ(read_file(dir.file("out.csv")), expected["C"]) << "no output for A";
    fs::remove_all(out_dir);
    o = run(batch(marked));
    EXPECT_EQ(o.status.code(), MessageCode::kTablesLost);
    EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"C.csv", "DOCS.csv"}));
    EXPECT_EQ(read_file(out_dir / "C.csv"), expected["C"]);
  }

  // A row whose first length reads as the end-of-table mark.
  const std::size_t row = intact.find(std::string("\0\0\x03\x00", 4), intact.find("INSERT INTO \"A\"") + 2000);
  b = intact;
  b.replace(row + 2, 2, "\xff\xff");
  o = run(csv(write("mark.dmp", b), "A"));
  EXPECT_EQ(o.status.code(), MessageCode::kDumpFormat);
  EXPECT_TRUE(o.said(MessageCode::kDumpFormat, "(\"A\")"));
}

TEST_F(NothingLost, AFailedRunLeavesTheUsersFilesAsTheyWere) {
  const std::string mine = dir.write("out.csv", "precious\n");
  Outcome o = run(csv(dump, "NOPE"));
  EXPECT_EQ(o.status.code(), MessageCode::kTableNotFound);
  EXPECT_EQ(read_file(mine), "precious\n");
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"out.csv", "t.dmp"})) << "no temporary file stays";

  // The dump itself, by another spelling, as OUT_FILE.
  Request r = csv(dump, "A");
  r.out_file = (dir.path() / "." / "t.dmp").string();
  o = run(r);
  EXPECT_EQ(o.status.code(), MessageCode::kSameFile);
  EXPECT_EQ(read_file(dump), intact);

  // A batch that fails keeps an earlier C.csv; a device is never removed.
  fs::create_directories(out_dir);
  const std::string old_c = (out_dir / "C.csv").string();
  dir.write("out/C.csv", "old C\n");
  o = run(batch(write("cut.dmp", intact.substr(0, rows_end("C") - 40))));
  EXPECT_EQ(read_file(old_c), "old C\n");
  // A Data Pump batch whose table cannot be read: its earlier file stays,
  // and nothing of the run does.
  {
    dw::DataPumpWriter w(dir.file("dp.dmp"));
    w.begin_table(table_of("C", {{"ID", "NUMBER(10, 0)"}}));
    w.add_row({Cell::number("1")});
    w.end_table();
    w.finish();
  }
  std::string dp = read_file(dir.file("dp.dmp"));
  dp[dp.find("</ROWSET>") + 2] = '\0';
  o = run(batch(write("dp.dmp", dp)));
  EXPECT_EQ(o.status.code(), MessageCode::kDumpRead);
  EXPECT_EQ(files_in(out_dir), (std::vector<std::string>{"A.csv", "C.csv", "DOCS.csv"}));
  EXPECT_EQ(read_file(old_c), "old C\n");

  r = csv(dump, "NOPE");
  r.out_file = test_support::kNullDevice;
  EXPECT_FALSE(run(r).status.ok());
#ifndef _WIN32  // NUL is no file there to lose
  EXPECT_TRUE(fs::is_character_file(test_support::kNullDevice));
#endif
}

TEST_F(NothingLost, LargeObjectFilesNeverOverwriteEachOtherNorLeaveTheirFolder) {
  Request r = csv(dump, "DOCS");
  r.out_file.clear();
  r.output = OutputKind::kLobFiles;
  const fs::path lobs = dir.path() / "lobs";
  fs::create_directories(lobs);
  r.lob = {"DOCS", "BODY", lobs.string(), "d_%TAG%.bin"};
  Outcome o = run(r);
  ASSERT_TRUE(o.status.ok()) << o.status.text();
  EXPECT_EQ(files_in(lobs), (std::vector<std::string>{"d_t0.bin", "d_t0_2.bin", "d_t1.bin", "d_t1_2.bin",
                                                      "d_t2.bin", "d_t2_2.bin"}));
  EXPECT_EQ(read_file(lobs / "d_t1.bin"), "doc1");
  EXPECT_EQ(read_file(lobs / "d_t1_2.bin"), "doc4");
  EXPECT_TRUE(o.said(MessageCode::kLobNameTaken, "d_t1_2.bin"));

  for (const char* pattern : {"../x_%ID%.bin", "sub/../../x_%ID%.bin", "/tmp/x_%ID%.bin"}) {
    r.lob.file_pattern = pattern;
    EXPECT_EQ(run(r).status.code(), MessageCode::kLobPattern) << pattern;
  }
  // A run that fails inside the table leaves none of its files.
  fs::remove_all(lobs);
  fs::create_directories(lobs);
  std::string b = intact;
  b.resize(b.find("doc5", b.find("INSERT INTO \"DOCS\"")));
  r.volumes = {write("lobcut.dmp", b)};
  r.lob.file_pattern = "d_%ID%.bin";
  EXPECT_EQ(run(r).status.code(), MessageCode::kDumpFormat);
  EXPECT_TRUE(files_in(lobs).empty());
}

TEST_F(NothingLost, AlphaofficeCutInsideItsLastTableKeepsEveryCompleteTable) {
  const std::string real = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";
  if (!fs::exists(real)) GTEST_SKIP() << "no real dumps in " << QLN_DUMPS_DIR;
  const std::string whole = read_file(real);
  const std::size_t rows = whole.find("INSERT INTO \"SALES_ORDER_LINE_ITEM\"");
  ASSERT_NE(rows, std::string::npos);
  const std::string cut = write("alpha.dmp", whole.substr(0, rows + (whole.find("\xff\xff\n", rows) - rows) / 2));
  intact = whole;
  expected["ADDRESSES"] = convert_table(real, "ADDRESSES");
  Outcome o = run(csv(cut, "ADDRESSES"));
  ASSERT_TRUE(o.status.ok()) << o.status.text();
  EXPECT_EQ(read_file(dir.file("out.csv")), expected["ADDRESSES"]);
  o = run(csv(cut, "SALES_ORDER_LINE_ITEM"));
  EXPECT_EQ(o.status.code(), MessageCode::kDumpFormat);
  EXPECT_TRUE(o.said(MessageCode::kDumpFormat, "SALES_ORDER_LINE_ITEM"));
  o = run(batch(cut));
  EXPECT_TRUE(o.results.partial);
  Request whole_batch = batch(real);
  whole_batch.out_dir = (dir.path() / "whole").string();
  fs::create_directories(whole_batch.out_dir);
  ASSERT_TRUE(run(whole_batch).status.ok());
  std::vector<std::string> complete = files_in(whole_batch.out_dir);
  std::erase(complete, "SALES_ORDER_LINE_ITEM.csv");
  EXPECT_EQ(files_in(out_dir), complete);
  for (const auto& f : complete) EXPECT_EQ(read_file(out_dir / f), read_file(fs::path(whole_batch.out_dir) / f)) << f;
}

}  // namespace
}  // namespace qln
