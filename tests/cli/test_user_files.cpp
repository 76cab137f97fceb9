#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli_test_support.hpp"
#include "dumpwriter/dump_writer.hpp"

// The program's own streams and the user's files: ERRLOG and OUT_FILE may
// not be the dump, and every write failure is said on a stream that works.
namespace qln {
namespace {

using testing_cli::read_file;
using testing_cli::TempDir;
namespace dw = qln::dumpwriter;

class UserFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dw::DumpWriter w(dir.file("t.dmp"));
    dw::TableSpec emp;
    emp.name = "EMP";
    emp.columns = {{"ID", "NUMBER(4, 0)"}};
    w.begin_table(emp);
    w.add_row({dw::Cell::number("7")});
    w.end_table();
    w.finish();
    dump = read_file(dir.file("t.dmp"));
  }
  // Exit code and standard error of the program run in the folder.
  std::pair<int, std::string> run(const std::string& args, const std::string& out = "out.txt") {
    const std::string err = dir.file("stderr.txt");
    const std::string command = "cd '" + dir.path().string() + "' && '" + QLN_CLI_PATH + "' " + args +
                                " >" + out + " 2>'" + err + "'";
    const int status = test_support::run_command(command);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(err)};
  }
  TempDir dir;
  std::string dump;
};

TEST_F(UserFiles, ErrlogMayNotBeTheDumpNorTheOutput) {
  auto [code, err] = run("FILE=t.dmp ERRLOG=t.dmp TABLE=NOPE");
  EXPECT_EQ(code, 255);
  EXPECT_NE(err.find("ZUL-03115"), std::string::npos) << err;
  EXPECT_EQ(read_file(dir.file("t.dmp")), dump);
  dir.write("mine.csv", "precious\n");
  std::tie(code, err) = run("FILE=t.dmp OUT_FILE=mine.csv ERRLOG=./mine.csv");
  EXPECT_NE(err.find("ZUL-03115"), std::string::npos) << err;
  EXPECT_EQ(read_file(dir.file("mine.csv")), "precious\n");
  // OUT_FILE kept as it was when the table is not there.
  std::tie(code, err) = run("FILE=t.dmp OUT_FILE=mine.csv TABLE=NOPE");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(read_file(dir.file("mine.csv")), "precious\n");
}

// Needs a device that is always full: there is none on Windows.
#ifndef _WIN32
TEST_F(UserFiles, WriteFailuresAreSaidOnAStreamThatWorks) {
  auto [code, err] = run("FILE=t.dmp ERRLOG=/dev/full TABLE=NOPE");
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("ZUL-03133"), std::string::npos) << err;
  EXPECT_NE(err.find("(\"/dev/full\")"), std::string::npos) << err;
  EXPECT_NE(err.find("ZUL-03103"), std::string::npos) << err;
  std::tie(code, err) = run("FILE=t.dmp ERRLOG=/no/such/dir/e.log TABLE=EMP");
  EXPECT_EQ(code, 0);
  EXPECT_NE(err.find("ZUL-03118"), std::string::npos) << err;
  for (const char* job : {"TABLE=EMP", "MODE=DDL", "PROPERTY=Y"}) {
    std::tie(code, err) = run(std::string("FILE=t.dmp ") + job, "/dev/full");
    EXPECT_NE(code, 0) << job;
    EXPECT_NE(err.find("ZUL-03119"), std::string::npos) << job << ": " << err;
  }
}

#endif

}  // namespace
}  // namespace qln
