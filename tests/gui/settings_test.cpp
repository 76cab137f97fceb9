#include "gui/settings.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace qln::gui {
namespace {

using test_support::read_file;
using test_support::TempDir;

// Every key of the file, in Shift_JIS, with a comment, an unknown line and two sections.
constexpr char kEveryKey[] =
    "; my settings\r\n"
    "  header = Y\r\n"
    "TRIM=Y\r\nTO_SJIS=Y\r\nMAX_RECORD=250\r\nUNLIMITED=N\r\n"
    "DATE_FORMAT='YYYY-MM-DD'\r\nVIEW_PROGRAM=USER\r\n"
    "VIEW_PROGRAM_PATH=\"C:\\Program Files\\v.exe\"\r\nTABLE_MODE=FIRST\r\n"
    "DELIMITER=TAB\r\nWHERE_CONDITION=Y\r\nCSV_DELETE=Y\r\nQUOTE=Y\r\nBATCH_OUTPUT=Y\r\n"
    "DDL=table|view | PROCEDURE\r\nLOB_DIR=\"C:\\out\\\"\r\nLOB_FILE='IMG_%ID%.jpg'\r\n"
    "LOB_TABLE=PICS\r\nLOB_COLUMN=IMG\r\nGREP=\x93\xfa\x96\x7b\r\n"
    "SELECT_LIST=ename, sal\r\nSELECT_LIST_CONDITION=Y\r\nDEBUG=Y\r\n"
    "MY_OWN_KEY=kept\r\n"
    "[emp][*]\r\nWHERE=SAL > 1000\r\nCOLUMN=ename\r\n"
    "[DEPT][]\r\nWHERE=DEPTNO = 10\r\nCOLUMN=\r\n";

TEST(Settings, EveryKeyIsReadAndWrittenBackEqual) {
  TempDir dir;
  const std::string path = dir.write("Quillon.ini", kEveryKey);
  Settings s;
  ASSERT_EQ(read_settings(s, path, false), 0);
  EXPECT_TRUE(s.header && s.trim && s.to_sjis && !s.unlimited && s.where_condition);
  EXPECT_TRUE(s.delete_csv && s.quote && s.batch_output && s.select_list_on && s.debug);
  EXPECT_EQ(s.max_record, 250);
  EXPECT_EQ(s.date_format, "YYYY-MM-DD");
  EXPECT_EQ(s.view_program, ViewProgram::kUser);
  EXPECT_EQ(s.view_program_path, "C:\\Program Files\\v.exe");
  EXPECT_EQ(s.table_mode, TableMode::kFirst);
  EXPECT_EQ(s.delimiter, '\t');
  EXPECT_EQ(s.ddl_kinds, kDdlTable | kDdlView | kDdlProcedure);
  EXPECT_EQ(s.lob_dir, "C:\\out\\");
  EXPECT_EQ(s.lob_file, "IMG_%ID%.jpg");
  EXPECT_EQ(s.lob_table, "PICS");
  EXPECT_EQ(s.lob_column, "IMG");
  EXPECT_EQ(s.grep, "日本");  // Shift_JIS on disk, UTF-8 in memory
  EXPECT_EQ(s.select_list, "ENAME, SAL");
  ASSERT_EQ(s.conditions.size(), 2u);  // sorted by table
  EXPECT_EQ(s.conditions[0], (TableCondition{"DEPT", "DEPTNO = 10", "", false}));
  EXPECT_EQ(s.conditions[1], (TableCondition{"EMP", "SAL > 1000", "ENAME", true}));

  ASSERT_EQ(write_settings(s, path, false, true), 0);
  const std::string saved = read_file(path);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  // Comments and unknown lines stay in place; sections are written upper case.
  EXPECT_EQ(saved.find("; my settings\r\n"), 0u);
  EXPECT_NE(saved.find("DEBUG=Y\r\nMY_OWN_KEY=kept\r\n[EMP][*]\r\nWHERE=SAL > 1000\r\nCOLUMN=ENAME\r\n"
                       "[DEPT][]\r\nWHERE=DEPTNO = 10\r\nCOLUMN=\r\n"),
            std::string::npos);
  EXPECT_NE(saved.find("GREP=\x93\xfa\x96\x7b\r\n"), std::string::npos);
  EXPECT_NE(saved.find("DDL=TABLE|VIEW|PROCEDURE\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("DEBUG"), saved.rfind("DEBUG"));  // never added, kept as it was
  Settings again;
  again.debug = true;
  ASSERT_EQ(read_settings(again, path, true), 0);
  EXPECT_EQ(again, s);
}

TEST(Settings, NewFileHasHeaderAndAllKeysInOrderAndRulesOfTheValues) {
  TempDir dir;
  const std::string path = dir.file("new.ini");
  Settings defaults, s;
  ASSERT_EQ(read_settings(s, path, false), 0);  // a missing standard file is fine
  EXPECT_EQ(s, defaults);
  EXPECT_EQ(read_settings(s, path, true), -1);  // a missing named file is not
  s.delimiter = ';';  // anything but a comma is saved as TAB
  ASSERT_EQ(write_settings(s, path, false, true), 0);
  const std::string saved = read_file(path);
  const std::string stars(79, '*');
  EXPECT_EQ(saved.rfind(";" + stars + "\r\n; Quillon ini file\r\n;" + stars + "\r\nHEADER=N\r\n"
                        "TRIM=N\r\nTO_SJIS=N\r\nMAX_RECORD=-1\r\nUNLIMITED=Y\r\n", 0), 0u);
  EXPECT_NE(saved.find("DELIMITER=TAB\r\nWHERE_CONDITION=N\r\nCSV_DELETE=N\r\nQUOTE=N\r\n"
                       "BATCH_OUTPUT=N\r\nDDL=ALL\r\nLOB_DIR=\"\"\r\nLOB_FILE=\"\"\r\n"
                       "LOB_TABLE=\r\nLOB_COLUMN=\r\nGREP=\r\nSELECT_LIST=\r\n"
                       "SELECT_LIST_CONDITION=N\r\n"),
            std::string::npos);

  // HEADER=N keeps a header on; a bad date format falls back; PREVIEW shows
  // five rows and saves the file's row count again.
  Settings p;
  p.header = true;
  parse_settings("HEADER=N\nDATE_FORMAT='QQ'\nTABLE_MODE=PREVIEW\nMAX_RECORD=100\n"
                 "MAX_RECORD=-3\nMAX_RECORD=7x\nVIEW_PROGRAM=OTHER\nDELIMITER='|'\n", p);
  EXPECT_TRUE(p.header && p.preview);
  EXPECT_EQ(p.date_format, kDefaultDateFormat);
  EXPECT_EQ(p.max_record, 5);
  EXPECT_EQ(p.view_program, ViewProgram::kSpreadsheet);
  EXPECT_EQ(p.delimiter, '|');
  EXPECT_NE(render_settings(std::nullopt, p, true, false).find("MAX_RECORD=100\r\n"), std::string::npos);
}

TEST(Settings, DamagedAndOverLongInputLosesNothingElse) {
  Settings s;
  std::string text = "TRIM=Y\n[" + std::string(31, 'T') + "][*]\nWHERE=A=1\n";  // no section: a query
  text += "[T1][*]\nWHERE=" + std::string(4096, 'x') + "\n";                  // too long: no entry
  text += "SELECT_LIST=" + std::string(32000, 'c') + "\nLOB_TABLE=" + std::string(31, 'L') + "\n";
  text += "VIEW_PROGRAM_PATH=" + std::string(513, 'p') + "\n=Y\nQUOTE\nQUOTE Y\n[\n]]\n\xff\xfe\x81\n";
  for (int i = 0; i < 120; ++i) text += "[T" + std::to_string(i) + "][*]\nWHERE=X\n";
  text += "QUOTE=Y\n";
  parse_settings(text, s);
  EXPECT_TRUE(s.trim && s.quote);
  EXPECT_EQ(s.query, "A=1");
  EXPECT_TRUE(s.select_list.empty() && s.lob_table.empty() && s.view_program_path.empty());
  EXPECT_EQ(s.conditions.size(), kMaxConditions);

  // A file that cannot be read is never replaced.
  TempDir dir;
  std::filesystem::create_directory(dir.file("a_dir.ini"));
  EXPECT_EQ(read_settings(s, dir.file("a_dir.ini"), true), -1);
  EXPECT_EQ(write_settings(s, dir.file("a_dir.ini"), true, true), -1);
  EXPECT_EQ(write_settings(s, dir.file("no/such/folder.ini"), true, true), -1);
}

TEST(Settings, NamedFilesKeepTheirKeysUtf8StaysUtf8AndLocation) {
  TempDir dir;
  const std::string path = dir.write("cond.ini", "\xEF\xBB\xBFQUOTE=N\n[社員][*]\nWHERE=名前 = '山田'\nCOLUMN=a\n");
  Settings s;
  ASSERT_EQ(read_settings(s, path, true), 0);
  ASSERT_EQ(s.conditions.size(), 1u);
  EXPECT_EQ(s.conditions[0].table, "社員");
  s.quote = true;
  s.conditions[0].where = "名前 = '佐藤'";
  ASSERT_EQ(write_settings(s, path, true, true), 0);
  EXPECT_EQ(read_file(path), "\xEF\xBB\xBFQUOTE=Y\r\n[社員][*]\r\nWHERE=名前 = '佐藤'\r\nCOLUMN=A\r\n");

  // The standard file keeps its sections when the user works on another file.
  const std::string standard = dir.write("Quillon.ini", "[EMP][*]\nWHERE=X\nCOLUMN=\n");
  ASSERT_EQ(write_settings(s, standard, false, false), 0);
  EXPECT_EQ(read_file(standard).rfind("[EMP][*]\r\nWHERE=X\r\nCOLUMN=\r\nHEADER=N\r\n", 0), 0u);

  EXPECT_EQ(standard_settings_path("D:\\x.ini", "C:\\app"), "D:\\x.ini");
  EXPECT_EQ(standard_settings_path(std::string(513, 'a').c_str(), "C:\\app"), "C:\\app\\Quillon.ini");
  EXPECT_EQ(standard_settings_path(std::string(512, 'a').c_str(), ""), std::string(512, 'a'));
  EXPECT_EQ(standard_settings_path(nullptr, ""), std::nullopt);
  EXPECT_EQ(parse_ddl_kinds(ddl_kinds_text(kDdlIndex | kDdlPackage | kDdlFunction)),
            kDdlIndex | kDdlPackage | kDdlFunction);
  EXPECT_EQ(ddl_kinds_text(kDdlIndex | kDdlPackage | kDdlFunction), "INDEX|PACKAGE|FUNCTION");
  EXPECT_EQ(parse_ddl_kinds("all"), kDdlAll);
}

}  // namespace
}  // namespace qln::gui
