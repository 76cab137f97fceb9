#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "gui/progress.hpp"
#include "gui/run_request.hpp"
#include "gui/viewer.hpp"
#include "support/temp_dir.hpp"

namespace qln::gui {
namespace {

class TableRegistry : public ProgramRegistry {
 public:
  std::map<std::string, std::string> values;
  std::optional<std::string> machine_value(const std::string& key) const override {
    const auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

TEST(Viewer, ChoiceFollowsEnvironmentThenSettings) {
  const std::vector<std::string> files = {"C:\\a.csv", "C:\\b c.csv"};
  TableRegistry none, excel;
  excel.values["Software\\Classes\\Excel.Application\\CLSID"] = "{X}";
  excel.values["Software\\Classes\\CLSID\\{X}\\LocalServer32"] = "C:\\xl.exe /e";
  Settings s;
  EXPECT_TRUE(plan_viewer(s, {}, "v.exe", excel).launches.empty());

  ViewerPlan p = plan_viewer(s, files, "v.exe", excel);
  ASSERT_EQ(p.launches.size(), 1u);
  EXPECT_EQ(p.launches[0].command_line, "v.exe \"C:\\a.csv\" \"C:\\b c.csv\" ");

  p = plan_viewer(s, files, nullptr, excel);  // spreadsheet, the editor behind it
  ASSERT_EQ(p.launches.size(), 1u);
  EXPECT_EQ(p.launches[0].command_line, "C:\\xl.exe /e \"C:\\a.csv\" \"C:\\b c.csv\" ");
  EXPECT_EQ(p.fallback.size(), 2u);
  p = plan_viewer(s, files, nullptr, none);  // no spreadsheet: one editor per file
  ASSERT_EQ(p.launches.size(), 2u);
  EXPECT_EQ(p.launches[1].command_line, "notepad.exe \"C:\\b c.csv\" ");
  EXPECT_FALSE(p.launches[1].wait);

  s.delete_csv = true;  // deleting afterwards: wait, and the editor shows the first only
  s.view_program = ViewProgram::kTextEditor;
  p = plan_viewer(s, files, nullptr, excel);
  ASSERT_EQ(p.launches.size(), 1u);
  EXPECT_TRUE(p.launches[0].wait && p.only_first_shown);

  s.view_program = ViewProgram::kUser;
  EXPECT_TRUE(plan_viewer(s, files, nullptr, excel).launches.empty());  // no path named
  s.view_program_path = "my.exe";
  EXPECT_EQ(plan_viewer(s, {"x.csv"}, nullptr, excel).launches[0].command_line, "my.exe \"x.csv\" ");
  s.view_program = ViewProgram::kNone;
  EXPECT_TRUE(plan_viewer(s, files, nullptr, excel).launches.empty());
}

TEST(Progress, BarFollowsBytesOfAllVolumesAndFileLineFollowsVolume) {
  ProgressView v;
  int file_lines = 0;
  for (const ReadProgress r : {ReadProgress{0, 300, 0}, ReadProgress{50, 300, 0}, ReadProgress{100, 300, 1},
                               ReadProgress{101, 300, 1}, ReadProgress{250, 300, 2}, ReadProgress{400, 300, 2}}) {
    update_progress(v, r);
    file_lines += v.file_line_changed;
  }
  EXPECT_EQ(file_lines, 3);  // three volumes, three names
  EXPECT_EQ(v.percent, 100);
  update_progress(v, {10, 300, 2});
  EXPECT_FALSE(v.bar_changed);
  EXPECT_EQ(v.percent, 100);  // never moves back

  EXPECT_EQ(shortened_file_name("C:\\d\\x.dmp"), "C:\\d\\x.dmp");
  const std::string long_name = std::string(100, 'a') + "日本語のダンプファイル.dmp";
  const std::string s = shortened_file_name(long_name);
  EXPECT_EQ(s, "..." + std::string(92, 'a') + "日本語のダンプファイル.dmp");
  EXPECT_EQ(progress_status_text(ProgressTask::kCsv), "　　　　ダンプファイルCSV変換中");
}

TEST(Request, CommandLineAndSettingsMakeTheRun) {
  const CommandLine cmd = parse_command_line({"\"C:\\d\\b.dmp\"", "TABLE=EMP", "COLUMN=X", "C:\\d\\a.dmp"});
  EXPECT_EQ(cmd.dumps, (std::vector<std::string>{"C:\\d\\a.dmp", "C:\\d\\b.dmp"}));
  EXPECT_EQ(cmd.table, "EMP");
  EXPECT_EQ(csv_path_for("C:\\d.x\\scott"), "C:\\d.x\\scott.csv");
  EXPECT_EQ(csv_path_for("/a/scott.dmp"), "/a/scott.csv");

  Settings s;
  parse_settings("TABLE_MODE=PREVIEW\nMAX_RECORD=9\nBATCH_OUTPUT=Y\nDELIMITER=TAB\n", s);
  Request r = csv_request(s, cmd);
  EXPECT_TRUE(r.preview && r.header);
  EXPECT_EQ(r.max_record, 5);
  EXPECT_EQ(r.output, OutputKind::kCsvBatch);
  EXPECT_EQ(r.out_dir, "C:\\d\\");
  EXPECT_EQ(r.delimiter, '\t');
  EXPECT_EQ(r.table.text(), "EMP");
}

// The whole path the windowed program takes: settings to a run, progress to
// the window's arithmetic, the stop flag ending the run with nothing left.
TEST(Request, RealDumpConvertsWithProgressAndStops) {
  const std::filesystem::path dump = std::filesystem::path(QLN_DUMPS_DIR) / "alphaoffice.dmp";
  if (!std::filesystem::exists(dump)) GTEST_SKIP() << "no real dumps in " << QLN_DUMPS_DIR;
  test_support::TempDir dir;
  Settings s;
  parse_settings("HEADER=Y\nUNLIMITED=N\nMAX_RECORD=3\n", s);
  Request r = csv_request(s, parse_command_line({dump.string()}));
  EXPECT_EQ(r.out_file, csv_path_for(dump.string()));
  r.out_file = dir.file("alpha.csv");  // not beside the shared dumps

  ProgressView view;
  int reports = 0;
  Results results;
  RunCallbacks cb;
  cb.progress = [&](const ReadProgress& p) { update_progress(view, p), ++reports; };
  ASSERT_TRUE(run_conversion(r, results, cb).ok());
  EXPECT_GT(reports, 0);
  EXPECT_GE(view.percent, 0);
  EXPECT_EQ(results.rows_written, 3);
  EXPECT_TRUE(std::filesystem::exists(r.out_file));

  std::filesystem::remove(r.out_file);
  std::atomic<bool> stop{true};
  cb.stop = &stop;
  Results stopped;
  EXPECT_FALSE(run_conversion(r, stopped, cb).ok());
  EXPECT_FALSE(std::filesystem::exists(r.out_file));  // nothing left behind
}

}  // namespace
}  // namespace qln::gui
