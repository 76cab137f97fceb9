#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli_test_support.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;
using testing_cli::Outcome;
using testing_cli::read_file;
using testing_cli::run_cli;
using testing_cli::split_lines;
using testing_cli::TempDir;

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> v(1);
  for (char c : line) {
    if (c == '\t') v.emplace_back();
    else v.back() += c;
  }
  return v;
}

// One table converted whole, as the independent side of the comparisons:
// its header and rows, fields by column name.
struct Table {
  std::vector<std::string> header;
  std::vector<std::string> lines;
  std::vector<std::vector<std::string>> rows;
  int col(const std::string& name) const {
    const auto it = std::find(header.begin(), header.end(), name);
    return it == header.end() ? -1 : static_cast<int>(it - header.begin());
  }
};

class ConditionsCli : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;
  const std::string alpha = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

  Outcome run(const std::string& args) { return run_cli(dir, args); }
  // Options through a parameter file: no shell quoting in the way.
  Outcome run_par(const std::string& dump, const std::string& par) {
    return run("FILE='" + dump + "' PARFILE='" + dir.write("run.par", par) + "'");
  }

  Table whole(const std::string& dump, const std::string& table) {
    const Outcome o = run("FILE='" + dump + "' TABLE=" + table + " HEADER=Y DELIMITER=TAB BOM=N");
    EXPECT_EQ(o.exit_code, 0) << o.err;
    Table t;
    std::vector<std::string> lines = split_lines(o.out);
    if (lines.empty()) return t;
    t.header = fields_of(lines.front());
    t.lines.assign(lines.begin() + 1, lines.end());
    for (const std::string& l : t.lines) t.rows.push_back(fields_of(l));
    return t;
  }
};

using Row = std::vector<std::string>;
double num(const std::string& s) { return std::stod(s); }

TEST_F(ConditionsCli, AlphaofficeRowsAreThoseTheConditionSelects) {
  QLN_SKIP_WITHOUT_REAL_DUMP(alpha);
  struct Case {
    std::string table;
    std::string condition;
    std::function<bool(const Table&, const Row&)> keep;
  };
  auto f = [](const Table& t, const Row& r, const char* name) { return r[static_cast<std::size_t>(t.col(name))]; };
  const std::vector<Case> cases = {
      {"SALES_ORDER_HEADER", "CUSTOMER_ID = 1005",
       [&](const Table& t, const Row& r) { return f(t, r, "CUSTOMER_ID") == "1005"; }},
      {"SALES_ORDER_HEADER", "customer_id IN (1003, 1006) AND SALES_ORDER_ID > 15000",
       [&](const Table& t, const Row& r) {
         const std::string c = f(t, r, "CUSTOMER_ID");
         return (c == "1003" || c == "1006") && num(f(t, r, "SALES_ORDER_ID")) > 15000;
       }},
      {"SALES_ORDER_HEADER", "NOT (CUSTOMER_ID = 1005 OR SALES_ORDER_ID < 20000) OR SALES_ORDER_ID BETWEEN 10100 AND 10200",
       [&](const Table& t, const Row& r) {
         const double id = num(f(t, r, "SALES_ORDER_ID"));
         return !(f(t, r, "CUSTOMER_ID") == "1005" || id < 20000) || (id >= 10100 && id <= 10200);
       }},
      {"SALES_ORDER_HEADER",
       "PRICING_DATE >= TO_DATE('2014-01-14', 'YYYY-MM-DD') AND PRICING_DATE < TO_DATE('2014-01-15 00:00:01', 'YYYY-MM-DD HH24:MI:SS')",
       [&](const Table& t, const Row& r) {
         const std::string d = f(t, r, "PRICING_DATE");
         return !d.empty() && d >= "2014/01/14" && d <= "2014/01/15 00:00:00";
       }},
      {"SALES_ORDER_HEADER", "TO_CHAR(PRICING_DATE, 'DD') = '10' OR SALES_ORDER_ID < 10100",
       [&](const Table& t, const Row& r) {
         const std::string d = f(t, r, "PRICING_DATE");
         return (d.size() > 9 && d.substr(8, 2) == "10") || num(f(t, r, "SALES_ORDER_ID")) < 10100;
       }},
      {"SALES_ORDER_LINE_ITEM", "SALES_ORDER_LINE_ITEM_ID * 2 - SALES_ORDER_ID > 20000 AND SALES_ORDER_ID NOT IN (20001, 20002)",
       [&](const Table& t, const Row& r) {
         const double id = num(f(t, r, "SALES_ORDER_ID"));
         return num(f(t, r, "SALES_ORDER_LINE_ITEM_ID")) * 2 - id > 20000 && id != 20001 && id != 20002;
       }},
      {"PRODUCTS", "(LIST_PRICE - COST_PRICE) * 100 > 500.5 AND PRODUCT_STATUS = 'AVAILABLE'",
       [&](const Table& t, const Row& r) {
         const std::string l = f(t, r, "LIST_PRICE"), c = f(t, r, "COST_PRICE");
         return !l.empty() && !c.empty() && (num(l) - num(c)) * 100 > 500.5 && f(t, r, "PRODUCT_STATUS") == "AVAILABLE";
       }},
      {"CUSTOMERS", "TITLE IS NULL AND EMAIL LIKE '%@alpha.com'",
       [&](const Table& t, const Row& r) {
         const std::string e = f(t, r, "EMAIL");
         return f(t, r, "TITLE").empty() && e.size() >= 10 && e.substr(e.size() - 10) == "@alpha.com";
       }},
      {"CUSTOMERS", "CREDIT_LIMIT != 0 OR SUBSTR(LAST_NAME, 1, 2) = 'fo'",
       [&](const Table& t, const Row& r) {
         const std::string c = f(t, r, "CREDIT_LIMIT");
         return (!c.empty() && num(c) != 0) || f(t, r, "LAST_NAME").substr(0, 2) == "fo";
       }},
      {"ADDRESSES", "LONGITUDE < -100 AND CITY LIKE 'San%'",
       [&](const Table& t, const Row& r) {
         const std::string l = f(t, r, "LONGITUDE");
         return !l.empty() && num(l) < -100 && f(t, r, "CITY").rfind("San", 0) == 0;
       }},
      {"ADDRESSES", "ADDRESS2 IS NOT NULL OR POSTAL_CODE LIKE '9_1%'",
       [&](const Table& t, const Row& r) {
         const std::string p = f(t, r, "POSTAL_CODE");
         return !f(t, r, "ADDRESS2").empty() || (p.size() >= 3 && p[0] == '9' && p[2] == '1');
       }},
      {"ADDRESSES", "ADDRESS2 = '  ' OR ADDRESS_ID < 103",  // one row holds ' ': no padding for VARCHAR2
       [&](const Table& t, const Row& r) { return f(t, r, "ADDRESS2") == "  " || num(f(t, r, "ADDRESS_ID")) < 103; }},
      {"ADDRESSES", "NOT POSTAL_CODE = '94103'",
       [&](const Table& t, const Row& r) {
         const std::string p = f(t, r, "POSTAL_CODE");
         return !p.empty() && p != "94103";
       }},
      {"ALPHA_SERVICES_STATS",
       "UPDATE_TIMESTAMP > TO_DATE('2014-01-15 09:26:18', 'YYYY-MM-DD HH24:MI:SS') AND TRANSACTION_COUNT * 2 >= 40000",
       [&](const Table& t, const Row& r) {
         return f(t, r, "UPDATE_TIMESTAMP") > "2014/01/15 09:26:18" && num(f(t, r, "TRANSACTION_COUNT")) * 2 >= 40000;
       }},
  };
  std::map<std::string, Table> tables;
  int partial = 0;
  for (const Case& c : cases) {
    if (!tables.count(c.table)) tables[c.table] = whole(alpha, c.table);
    const Table& t = tables[c.table];
    ASSERT_FALSE(t.rows.empty()) << c.table;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < t.rows.size(); ++i)
      if (c.keep(t, t.rows[i])) expected.push_back(t.lines[i]);
    if (!expected.empty() && expected.size() < t.rows.size()) ++partial;
    else ADD_FAILURE() << "takes all or nothing: " << c.condition << " " << expected.size();
    const Outcome o = run_par(alpha, "[" + c.table + "][*]\nWHERE=" + c.condition +
                                         "\nHEADER=Y DELIMITER=TAB BOM=N\n");
    ASSERT_EQ(o.exit_code, 0) << c.condition << "\n" << o.err;
    std::vector<std::string> got = split_lines(o.out);
    ASSERT_FALSE(got.empty()) << c.condition;
    EXPECT_EQ(fields_of(got.front()), t.header);
    got.erase(got.begin());
    EXPECT_EQ(got, expected) << c.table << ": " << c.condition;
  }
  // The conditions split their tables, not just take all or nothing.
  EXPECT_GE(partial, static_cast<int>(cases.size()) - 1);
}

TEST_F(ConditionsCli, AlphaofficeQuerySelectListDecidesTheColumns) {
  QLN_SKIP_WITHOUT_REAL_DUMP(alpha);
  const Table t = whole(alpha, "SALES_ORDER_HEADER");
  const int id = t.col("SALES_ORDER_ID"), cust = t.col("CUSTOMER_ID"), po = t.col("CUST_PO_NO");
  std::vector<std::string> expected;
  for (const Row& r : t.rows)
    if (r[static_cast<std::size_t>(cust)] == "1006" && r[static_cast<std::size_t>(id)] < "10200")
      expected.push_back(r[static_cast<std::size_t>(po)] + "\t" + r[static_cast<std::size_t>(id)]);
  ASSERT_FALSE(expected.empty());
  Outcome o = run_par(alpha,
                      "QUERY=(SELECT h.CUST_PO_NO, SALES_ORDER_ID FROM ALPHA.SALES_ORDER_HEADER h "
                      "WHERE h.CUSTOMER_ID = 1006 AND SALES_ORDER_ID < 10200)\nHEADER=Y DELIMITER=TAB BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> got = split_lines(o.out);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front(), "CUST_PO_NO\tSALES_ORDER_ID");
  got.erase(got.begin());
  EXPECT_EQ(got, expected);

  // COLUMN, when given too, wins over the select list; MAX_RECORD limits.
  o = run_par(alpha, "QUERY=(SELECT CUST_PO_NO FROM SALES_ORDER_HEADER WHERE CUSTOMER_ID = 1006)\n"
                     "COLUMN=SALES_ORDER_ID MAX_RECORD=2 DELIMITER=TAB BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  got = split_lines(o.out);
  ASSERT_EQ(got.size(), 2u) << o.out;
  EXPECT_EQ(fields_of(got[0]).size(), 1u);
  EXPECT_EQ(got[0] + "\t" + got[1], fields_of(expected[0])[1] + "\t" + fields_of(expected[1])[1]);

  // Statements a conversion cannot run stop before anything is written.
  struct Refusal {
    std::string query;
    std::string message;
  };
  for (const Refusal& r : std::vector<Refusal>{
           {"SELECT CUSTOMER_ID FROM SALES_ORDER_HEADER GROUP BY CUSTOMER_ID", "ZUL-02105"},
           {"SELECT * FROM SALES_ORDER_HEADER ORDER BY CUSTOMER_ID", "ZUL-02106"},
           {"SELECT * FROM SALES_ORDER_HEADER h, CUSTOMERS c WHERE h.CUSTOMER_ID = c.CUSTOMER_ID", "ZUL-02104"},
           {"SELECT * FROM SALES_ORDER_HEADER WHERE CUSTOMER_ID IN (SELECT CUSTOMER_ID FROM CUSTOMERS)", "ZUL-02009"},
           {"SELECT * FROM SALES_ORDER_HEADER WHERE NOSUCH = 1", "ZUL-03104"},
           {"SELECT * FROM SALES_ORDER_HEADER WHERE NOSUCHFN(CUSTOMER_ID) = 1", "ZUL-02110"},
           {"SELECT * FROM SALES_ORDER_HEADER WHERE CUSTOMER_ID > ALL (1, 2)", "ZUL-02111"},
       }) {
    o = run_par(alpha, "QUERY=(" + r.query + ")\nOUT_FILE=out.csv\n");
    EXPECT_EQ(o.exit_code, 1) << r.query;
    EXPECT_NE(o.err.find(r.message), std::string::npos) << r.query << "\n" << o.err;
    EXPECT_FALSE(fs::exists(dir.file("out.csv"))) << r.query;
  }
}

// A written dump: two tables with conditions of their own in one parameter
// file, multibyte texts, exact numbers, timestamps.
class WrittenDumpConditions : public ConditionsCli {
 protected:
  std::string dump = dir.file("cond.dmp");
  void SetUp() override {
    dw::DumpWriter w(dump);
    dw::TableSpec emp;
    emp.name = "EMP";
    emp.columns = {{"ID", "NUMBER(4, 0)"}, {"NAME", "VARCHAR2(40)"}, {"BIG", "NUMBER"}, {"AT", "TIMESTAMP (6)"},
                   {"NOTE", "CLOB"}};
    w.begin_table(emp);
    const char* names[] = {"日本語テキスト", "日本", "東京タワー", "abc", "x%y"};
    for (int i = 1; i <= 40; ++i) {
      const std::string at = "2020-01-" + std::string(i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1) + " 10:00:00." +
                             std::to_string(100000000 + i);
      w.add_row({Cell::number(std::to_string(i)), i % 7 == 0 ? Cell::null() : Cell::text(names[i % 5]),
                 Cell::number("1234567890123456789" + std::to_string(i % 3)), Cell::text(at),
                 i % 2 ? Cell::text("note " + std::to_string(i)) : Cell::null()});
    }
    w.end_table();
    dw::TableSpec dept;
    dept.name = "DEPT";
    dept.columns = {{"DEPTNO", "NUMBER(2, 0)"}, {"DNAME", "VARCHAR2(14)"}};
    w.begin_table(dept);
    for (int i = 1; i <= 9; ++i) w.add_row({Cell::number(std::to_string(i * 10)), Cell::text("D" + std::to_string(i))});
    w.end_table();
    w.finish();
  }
};

TEST_F(WrittenDumpConditions, TwoTablesEachWithItsConditionOnEveryOutput) {
  const std::string par =
      "[EMP][*]\nWHERE=NAME LIKE '日本_%' AND BIG = 12345678901234567891 OR NOT ID > 3\n"
      "[DEPT][*]\nWHERE=DEPTNO BETWEEN 30 AND 50\n";
  // Rows of EMP with NAME 日本語テキスト (i % 5 == 0, not i % 7 == 0) and BIG ending 1 (i % 3 == 1),
  // or ID 1..3.
  std::vector<int> emp;
  for (int i = 1; i <= 40; ++i)
    if ((i % 5 == 0 && i % 7 != 0 && i % 3 == 1) || i <= 3) emp.push_back(i);
  ASSERT_GT(emp.size(), 3u);

  Outcome o = run_par(dump, par + "MODE=CSV_BATCH BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> emp_lines = split_lines(read_file(dir.file("EMP.csv")));
  ASSERT_EQ(emp_lines.size(), emp.size());
  for (std::size_t k = 0; k < emp.size(); ++k) EXPECT_EQ(emp_lines[k].substr(0, emp_lines[k].find(',')), std::to_string(emp[k]));
  EXPECT_EQ(split_lines(read_file(dir.file("DEPT.csv"))), (std::vector<std::string>{"30,D3", "40,D4", "50,D5"}));

  // Shift_JIS output: the condition still reads the texts as the user wrote them.
  o = run_par(dump, "[EMP][*]\nWHERE=NAME LIKE '日本_%' AND BIG = 12345678901234567891 OR NOT ID > 3\nOUT_CHARSET=SJIS\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> sjis_ids;
  for (const std::string& l : split_lines(o.out)) sjis_ids.push_back(l.substr(0, l.find(',')));
  std::vector<std::string> emp_ids;
  for (int i : emp) emp_ids.push_back(std::to_string(i));
  EXPECT_EQ(sjis_ids, emp_ids);

  o = run_par(dump, par + "MODE=INSERT BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const auto inserts = split_lines(o.out);
  EXPECT_EQ(std::count_if(inserts.begin(), inserts.end(), [](const std::string& l) { return l.rfind("INSERT INTO EMP", 0) == 0; }),
            static_cast<long>(emp.size()));
  EXPECT_EQ(std::count_if(inserts.begin(), inserts.end(), [](const std::string& l) { return l.rfind("INSERT INTO DEPT", 0) == 0; }), 3);

  // Timestamps to the fraction; GREP and the condition both hold.
  o = run_par(dump, "[EMP][*]\nWHERE=AT > TO_DATE('2020-01-27 10:00:00', 'YYYY-MM-DD HH24:MI:SS')\nGREP=東京 BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> ids;
  for (const std::string& l : split_lines(o.out))
    if (l.find("【") == std::string::npos) ids.push_back(l.substr(0, l.find(',')));  // table banners of GREP
  std::vector<std::string> want;
  for (int i = 1; i <= 40; ++i)
    if (i % 28 + 1 >= 27 && i % 5 == 2 && i % 7 != 0) want.push_back(std::to_string(i));
  EXPECT_EQ(ids, want);

  // Large-object files only for the rows the condition keeps.
  o = run_par(dump, "[EMP][*]\nWHERE=ID IN (1, 3, 4, 5)\nLOB_TARGET=EMP.NOTE LOB_FILE=note_%ID%.txt LOB_DIR=" +
                        dir.path().string() + "\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_TRUE(fs::exists(dir.file("note_1.txt")) && fs::exists(dir.file("note_3.txt")) && fs::exists(dir.file("note_5.txt")))
      << o.err;
  EXPECT_FALSE(fs::exists(dir.file("note_7.txt")));
  EXPECT_FALSE(read_file(dir.file("note_5.txt")).empty());

  // PREVIEW: the first five kept rows of EMP, every table's first five.
  o = run_par(dump, "[EMP][*]\nWHERE=ID > 10\nPREVIEW=Y BOM=N\n");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> shown;
  for (const std::string& l : split_lines(o.out)) shown.push_back(l.substr(0, l.find(',')));
  EXPECT_EQ(shown, (std::vector<std::string>{"【EMP】", "11", "12", "13", "14", "15", "【DEPT】", "10", "20", "30", "40", "50"}));
}

TEST_F(WrittenDumpConditions, AnEvaluationErrorEndsTheRunWithNothingLeft) {
  Outcome o = run_par(dump, "[EMP][*]\nWHERE=TO_NUMBER(NAME) > 1\nOUT_FILE=out.csv\n");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("ZUL-03200"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir.file("out.csv")));
  o = run_par(dump, "[EMP][*]\nWHERE=NOTE = 'x'\n");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("ZUL-02102"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace qln
