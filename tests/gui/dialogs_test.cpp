#include <gtest/gtest.h>

#include <filesystem>

#include "dumpwriter/dump_writer.hpp"
#include "engine/conversion.hpp"
#include "gui/dialog_choices.hpp"
#include "gui/table_choice.hpp"
#include "gui/where_editor.hpp"
#include "support/real_dumps.hpp"
#include "values/charset.hpp"
#include "support/temp_dir.hpp"

namespace qln::gui {
namespace {

namespace dw = qln::dumpwriter;
using test_support::TempDir;

std::vector<TableListEntry> listed(const std::string& dump) {
  Request r;
  r.volumes = {dump};
  r.job = Job::kListTables;
  r.out_file = test_support::kNullDevice;
  Results res;
  EXPECT_TRUE(run_conversion(r, res).ok());
  return res.tables;
}

std::vector<std::string> names(const std::vector<TableRow>& rows) {
  std::vector<std::string> n;
  for (const TableRow& r : rows) n.push_back(r.name);
  return n;
}

TEST(TableChoice, FilterIsAnUpperCasedPrefixAndPartitionsAreSummed) {
  TempDir dir;
  const std::string dump = (dir.path() / "p.dmp").string();
  {
    dw::DumpOptions d;
    d.header_len = 8192;
    dw::DumpWriter w(dump, d);
    for (const char* name : {"DEPT_EMP", "EMP"}) {
      dw::TableSpec t;
      t.name = name;
      t.columns = {{"ID", "NUMBER"}, {"Name", "VARCHAR2(10)"}};
      if (t.name == "EMP") t.partitions = {{"P1", "10"}, {"P2", "MAXVALUE"}};
      w.begin_table(t);
      for (int i = 0; i < 3; ++i) w.add_row({dw::Cell::number(std::to_string(i)), dw::Cell::text("x")});
      if (t.name == "EMP") {
        w.next_partition();
        for (int i = 0; i < 4; ++i) w.add_row({dw::Cell::number("20"), dw::Cell::null()});
      }
      w.end_table();
    }
    w.finish();
  }
  const std::vector<TableListEntry> tables = listed(dump);
  const std::vector<TableRow> all = table_rows(tables, "");
  ASSERT_EQ(names(all), (std::vector<std::string>{"DEPT_EMP", "EMP", "+P1", "+P2"}));
  EXPECT_EQ(all[0].rows, 3);
  EXPECT_EQ(all[1].rows, 7) << "the table shows its partitions' sum";
  EXPECT_EQ(all[2].rows, 3);
  EXPECT_EQ(all[3].rows, 4);

  const std::vector<TableRow> em = table_rows(tables, " em");
  ASSERT_EQ(names(em), (std::vector<std::string>{"EMP"}));
  EXPECT_EQ(em[0].entry, 1u);
  EXPECT_EQ(em[0].rows, 7);
  EXPECT_EQ(names(table_rows(tables, "+p")), (std::vector<std::string>{"+P1", "+P2"}));
  EXPECT_TRUE(table_rows(tables, "'em'").empty()) << "quoted text is kept as typed";
  EXPECT_EQ(filter_key("a'b'c"), "A'b'C");
  EXPECT_EQ(filter_key("de'pt"), "DE'PT");

  std::vector<ColumnDef> cols(3);
  cols[0].name = "ID", cols[1].name = "Name", cols[2].name = "X";
  EXPECT_EQ(chosen_columns(cols, {true, false, true}), (std::vector<std::string>{"ID", "X"}));
}

TEST(TableChoice, RealDumpListsItsTables) {
  const std::string dump = test_support::real_dump_path("alphaoffice.dmp");
  QLN_SKIP_WITHOUT_REAL_DUMP(dump);
  const std::vector<TableListEntry> tables = listed(dump);
  EXPECT_EQ(table_rows(tables, "").size(), 19u);
  const std::vector<TableRow> sales = table_rows(tables, "sales_order");
  ASSERT_EQ(names(sales), (std::vector<std::string>{"SALES_ORDER_HEADER", "SALES_ORDER_LINE_ITEM"}));
  EXPECT_EQ(sales[0].rows, 21456);
  EXPECT_EQ(names(table_rows(tables, "ADDRESS")), (std::vector<std::string>{"ADDRESSES", "ADDRESS_USAGES"}));
  const std::string data_pump = test_support::real_dump_path("scott.dmp");
  if (std::filesystem::exists(data_pump)) {
    const std::vector<TableRow> emp = table_rows(listed(data_pump), "em");
    ASSERT_EQ(names(emp), (std::vector<std::string>{"EMP"}));
    EXPECT_EQ(emp[0].rows, 14);
  }
}

TEST(WhereEditor, AddsTakesRefusesAndKeepsItsLimits) {
  WhereEditor e({{"EMP", "SAL > 1", "", true}});
  EXPECT_FALSE(e.modified());
  EXPECT_EQ(e.add("  ", "X = 1", ""), AddResult::kNoTable);
  EXPECT_EQ(e.add(" emp ", "sal > 1", ""), AddResult::kDuplicate) << "table and condition ignore case";
  EXPECT_FALSE(e.modified());
  EXPECT_EQ(e.add(" dept ", " DEPTNO = 10\r\nOR DEPTNO = 20 ", " dname , loc "), AddResult::kAdded);
  EXPECT_TRUE(e.modified());
  ASSERT_EQ(e.entries().size(), 2u);
  EXPECT_EQ(e.entries()[0], (TableCondition{"DEPT", "DEPTNO = 10 OR DEPTNO = 20", "DNAME , LOC", false}));
  EXPECT_EQ(e.add(std::string(31, 'T'), "", ""), AddResult::kTooLong);
  EXPECT_EQ(e.add("T", std::string(4096, 'w'), ""), AddResult::kTooLong);

  EXPECT_FALSE(e.duplicate_checked());
  EXPECT_EQ(e.add("Emp", "SAL < 5", ""), AddResult::kAdded);
  e.set_checked(1, true);
  EXPECT_EQ(e.duplicate_checked(), "EMP");
  EXPECT_EQ(e.take(1).where, "SAL < 5");
  EXPECT_FALSE(e.duplicate_checked());

  while (e.entries().size() < kMaxConditions)
    ASSERT_EQ(e.add("T" + std::to_string(e.entries().size()), "", ""), AddResult::kAdded);
  EXPECT_EQ(e.add("ONE_MORE", "", ""), AddResult::kFull);
  EXPECT_EQ(e.entries().size(), kMaxConditions);
}

TEST(WhereEditor, SavesAndLoadsThroughTheSettingsFile) {
  TempDir dir;
  const std::string path = (dir.path() / "cond.ini").string();
  WhereEditor e({});
  ASSERT_EQ(e.add("emp", "ENAME = 'Smith'", "ename"), AddResult::kAdded);
  ASSERT_EQ(e.add("dept", "", ""), AddResult::kAdded);
  e.set_checked(1, true);
  Settings base;
  base.header = true;
  ASSERT_EQ(e.save(path, base), 0);
  EXPECT_FALSE(e.modified());

  WhereEditor back({{"OLD", "", "", true}});
  ASSERT_EQ(back.load(path), 0);
  EXPECT_EQ(back.entries(), e.entries());
  EXPECT_EQ(back.load((dir.path() / "none.ini").string()), -1);
  EXPECT_EQ(back.entries(), e.entries()) << "a failed load keeps the list";
  EXPECT_EQ(e.save((dir.path() / "no" / "dir.ini").string(), base), -1);
}

TEST(DialogChoices, DdlDbmsBinaryAndProperties) {
  EXPECT_EQ(ddl_kinds_of({true, false, false, false, false, true, false, true}, false),
            kDdlTable | kDdlPackage | kDdlProcedure);
  EXPECT_EQ(ddl_kinds_of({}, true), kDdlAll);
  std::uint8_t every = 0;
  for (std::uint8_t b : kDdlBoxBits) every = static_cast<std::uint8_t>(every | b);
  EXPECT_EQ(every, kDdlAll);
  EXPECT_EQ(static_cast<int>(SqlDialect::kSqlServer), kDbmsIds[2]);
  EXPECT_EQ(static_cast<int>(SqlDialect::kMySql), kDbmsIds[4]);

  Settings s;
  ConvOptions parts;
  ASSERT_EQ(apply_binary_output({"PICS", "IMG", "IMG_%ID%.jpg", "C:\\out"}, s, parts), 0);
  EXPECT_EQ(s.lob_dir, "C:\\out\\");
  EXPECT_EQ(parts.lob_fname1 + "|" + parts.lob_name_col + "|" + parts.lob_fname2, "IMG_|ID|.jpg");
  EXPECT_EQ(binary_output_of(s).file, "IMG_%ID%.jpg");
  ASSERT_EQ(apply_binary_output({"", "IMG", "", ""}, s, parts), 0);
  EXPECT_EQ(s.lob_dir, "");
  EXPECT_EQ(apply_binary_output({"X", "Y", "%" + std::string(200, 'C') + "%", "D"}, s, parts), -1);
  EXPECT_EQ(s.lob_table, "") << "nothing stored from a refused pattern";

  DumpInfo d;
  d.kind = DumpKind::kDirect;
  d.mode = ExportMode::kUsers;
  d.version_text = "EXPORT:V12.01.00";
  d.user = "ALPHA";
  d.db_charset = kCharsetSjis;
  d.nls_charset = 178;
  d.date = "2014/01/15";
  EXPECT_EQ(property_texts(d, Language::kJapanese),
            (std::array<std::string, 7>{"ダイレクトモード・エクスポート", "ユーザ", "EXPORT:V12.01.00", "ALPHA",
                                        "Shift_JIS", "UNKNOWN", "2014/01/15"}));
  // Sets beyond the four are shown by their Oracle names, as PROPERTY does.
  d.db_charset = charset_id_from_name("WE8MSWIN1252");
  EXPECT_EQ(property_texts(d, Language::kJapanese)[4], "WE8MSWIN1252");
  d.kind = DumpKind::kDataPump;
  EXPECT_EQ(property_texts(d, Language::kEnglish)[0], "Data Pump");
  EXPECT_EQ(property_texts(d, Language::kEnglish)[1], "") << "no export mode for Data Pump";
  d.kind = DumpKind::kUnknown;
  d.mode = ExportMode::kUnknown;
  EXPECT_EQ(property_texts(d, Language::kJapanese)[0] + property_texts(d, Language::kJapanese)[1], "不明不明");
}

}  // namespace
}  // namespace qln::gui
