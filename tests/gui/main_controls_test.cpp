#include "gui/main_controls.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "gui/run_request.hpp"
#include "support/temp_dir.hpp"
#include "values/charset.hpp"

namespace qln::gui {
namespace {

// Every radio combination, with the boxes and edits varied along: what the
// controls give the settings, the settings give back to the controls.
TEST(MainControls, EveryRadioCombinationRoundTripsThroughTheSettings) {
  int n = 0;
  for (int viewer : {311, 312, 313, 314, 315}) {
    for (int condition : {341, 342, 343}) {
      for (int delimiter : {331, 332}) {
        for (int table : {321, 322, 323}) {
          MainControls c;
          c.viewer = viewer, c.condition = condition, c.delimiter = delimiter, c.table = table;
          c.header = n % 2, c.trim = n % 3 == 0, c.to_sjis = n % 5 == 0, c.quote = n % 7 == 0;
          c.unlimited = n % 4 == 0, c.delete_csv = n % 6 == 0, c.select_list_on = n % 2 == 1;
          c.max_record = std::to_string(100 + n);
          c.date_format = n % 2 ? "YYYY-MM-DD" : "YYYY/MM/DD HH24:MI:SS";
          c.program_path = "C:\\v" + std::to_string(n) + ".exe";
          if (condition == kConditionGrep) c.grep = "日本";
          c.select_list = "ENAME,SAL";
          Settings s;
          ASSERT_TRUE(controls_to_options(c, s));
          if (table == kTablePreview && condition == kConditionOff) {
            EXPECT_EQ(s.max_record, 5) << n;
          }
          Settings again = s;
          EXPECT_EQ(options_to_controls(again, nullptr), c) << n;
          EXPECT_EQ(again, s) << n;
          ++n;
        }
      }
    }
  }
}

TEST(MainControls, RulesOfTheControls) {
  MainControls c;
  c.date_format = "YYYY/QQ";  // invalid: the default comes back
  c.max_record = "0";         // not above 0: the old value stays
  Settings s;
  s.max_record = 40;
  EXPECT_FALSE(controls_to_options(c, s));
  EXPECT_EQ(s.date_format, kDefaultDateFormat);
  EXPECT_EQ(s.max_record, 40);

  s.delimiter = ';';  // shown as a comma, and becomes one
  s.batch_output = true;
  c = options_to_controls(s, "C:\\p.exe");
  EXPECT_EQ(s.delimiter, ',');
  EXPECT_EQ(c.delimiter, kDelimiterComma);
  EXPECT_EQ(c.viewer, kViewerBatch);
  EXPECT_EQ(s.view_program, ViewProgram::kUser);
  EXPECT_EQ(c.program_path, "C:\\p.exe");

  // Dependent controls follow the radios and the unlimited box.
  c.unlimited = true;
  c.viewer = kViewerExcel;
  c.condition = kConditionOff;
  ControlStates st = control_states(c);
  EXPECT_FALSE(st.max_record || st.grep);
  EXPECT_TRUE(st.table_radios && st.select_list);
  c.condition = kConditionGrep;
  st = control_states(c);
  EXPECT_TRUE(st.grep && st.select_list && !st.table_radios);
  c.condition = kConditionWhere;
  st = control_states(c);
  EXPECT_FALSE(st.grep || st.select_list || st.table_radios);
  c.condition = kConditionOff;
  c.viewer = kViewerBatch;
  EXPECT_FALSE(control_states(c).table_radios);

  // An empty keyword is no keyword.
  c.condition = kConditionGrep;
  c.grep.clear();
  c.date_format = "YYYY";
  EXPECT_TRUE(controls_to_options(c, s));
  EXPECT_FALSE(s.grep_on);

  EXPECT_EQ(gui_message(1921).substr(0, 11), "ZUL-01921: ");
  EXPECT_NE(gui_message(3201, "x.csv").find("x.csv"), std::string::npos);
}

TEST(MainControls, CommandsMakeTheirRuns) {
  Settings s;
  parse_settings("HEADER=Y\nDDL=TABLE|VIEW\nLOB_TABLE=PICS\nLOB_COLUMN=IMG\nLOB_DIR=C:\\o\\\n"
                 "LOB_FILE=I_%ID%.jpg\nDB_CHARSET=ja16sjis\nTABLE_MODE=FIRST\n",
                 s);
  EXPECT_EQ(s.db_charset, "JA16SJIS");
  EXPECT_FALSE(tables_chosen_by_user(s));

  Request r = open_request(s, "C:\\d\\a.dmp", "+P1", {"ENAME", "SAL"});
  EXPECT_EQ(r.table.kind, TableSelector::Kind::kPartition);
  EXPECT_EQ(r.table.name, "P1");
  EXPECT_EQ(r.columns, "ENAME,SAL");
  EXPECT_EQ(r.out_file, "C:\\d\\a.csv");
  EXPECT_TRUE(r.header);
  EXPECT_EQ(r.db_charset, charset_id_from_name("JA16SJIS"));

  r = ddl_request(s, "C:\\d\\a.dmp", "C:\\d\\a.sql");
  EXPECT_EQ(r.output, OutputKind::kDdl);
  EXPECT_EQ(r.ddl_kinds, kDdlTable | kDdlView);
  EXPECT_EQ(r.out_file, "C:\\d\\a.sql");

  s.batch_output = true;  // INSERT output is one file whatever the viewer radio says
  r = insert_request(s, "C:\\d\\a.dmp", "EMP", "C:\\d\\e.sql", SqlDialect::kMySql);
  EXPECT_EQ(r.output, OutputKind::kInsert);
  EXPECT_EQ(r.dialect, SqlDialect::kMySql);
  EXPECT_EQ(r.table.text(), "EMP");
  EXPECT_EQ(r.out_file, "C:\\d\\e.sql");

  r = lob_request(s, "C:\\d\\a.dmp");
  EXPECT_EQ(r.output, OutputKind::kLobFiles);
  EXPECT_EQ(r.lob.table, "PICS");
  EXPECT_EQ(r.lob.column, "IMG");
  EXPECT_EQ(r.lob.file_pattern, "I_%ID%.jpg");

  // Conditions on, none selected: Open refuses; in a batch it does not.
  parse_settings("WHERE_CONDITION=Y\nBATCH_OUTPUT=N\n[EMP][]\nWHERE=SAL > 1\nCOLUMN=\n", s);
  EXPECT_TRUE(lacks_selected_condition(s));
  s.batch_output = true;
  EXPECT_FALSE(lacks_selected_condition(s));
  s.batch_output = false;
  s.conditions[0].selected = true;
  EXPECT_FALSE(lacks_selected_condition(s));
  r = csv_request(s, CommandLine{{"a.dmp"}, {}});
  ASSERT_EQ(r.conditions.size(), 1u);
  EXPECT_EQ(r.conditions[0].where, "SAL > 1");

  // A set the user named is kept in the file, an unknown one is not taken.
  test_support::TempDir dir;
  const std::string path = dir.file("q.ini");
  ASSERT_EQ(write_settings(s, path, false, true), 0);
  Settings back;
  ASSERT_EQ(read_settings(back, path, true), 0);
  EXPECT_EQ(back.db_charset, "JA16SJIS");
  parse_settings("DB_CHARSET=NO_SUCH_SET\n", back);
  EXPECT_EQ(back.db_charset, "JA16SJIS");
}

// The lists the dialogs show come from the engine's own pass over a real dump.
TEST(MainControls, TableListAndHeaderOfARealDump) {
  const std::filesystem::path dump = std::filesystem::path(QLN_DUMPS_DIR) / "alphaoffice.dmp";
  if (!std::filesystem::exists(dump)) GTEST_SKIP() << "no real dumps in " << QLN_DUMPS_DIR;
  Settings s;
  Results list;
  ASSERT_TRUE(run_conversion(table_list_request(s, dump.string()), list).ok());
  std::map<std::string, std::int64_t> rows;
  for (const TableListEntry& t : list.tables) {
    rows[t.name] = t.rows;
    EXPECT_FALSE(t.columns.empty()) << t.name;
  }
  EXPECT_EQ(rows.size(), 19u);
  EXPECT_EQ(rows["ADDRESSES"], 119);
  EXPECT_EQ(rows["SALES_ORDER_HEADER"], 21456);
  EXPECT_EQ(rows["PRODUCT_IMAGES"], 0);

  // A Data Pump dump's tables come from the same pass.
  Results pump;
  ASSERT_TRUE(run_conversion(table_list_request(s, (dump.parent_path() / "scott.dmp").string()), pump).ok());
  rows.clear();
  for (const TableListEntry& t : pump.tables) rows[t.name] = static_cast<std::int64_t>(t.columns.size()) * 1000 + t.rows;
  EXPECT_EQ(rows["EMP"], 8014);  // eight columns, fourteen rows
  EXPECT_EQ(rows["DEPT"], 3004);

  Results header;
  ASSERT_TRUE(run_conversion(header_request(dump.string()), header).ok());
  EXPECT_EQ(header.dump.kind, DumpKind::kConventional);
  EXPECT_EQ(header.dump.user, "ALPHA");
  EXPECT_TRUE(header.tables.empty());  // no pass over the tables
}

}  // namespace
}  // namespace qln::gui
