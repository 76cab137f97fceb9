#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "support/read_capture.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "engine/record_run.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

const std::string kAlpha = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

struct ReaderRun {
  GlobalParams g;
  ConvOptions o;
  ReadResult result;
  std::string out;

  ReaderRun() {
    o.exp_fname = {kAlpha};
    o.exp_version = 12;
    o.exp_mode = 1;
    o.exp_user = "ALPHA";
    o.out_charset = kCharsetUtf8;
    o.is_output_bom = kNo;
    o.row_format = 1;
    g.db_charset = kCharsetUsAscii;
  }

  int read() {
    return test_support::read_dmp_into(g, o, result, out);
  }
};

const std::map<std::string, std::int64_t> kRowCounts = {
    {"ADDRESSES", 119}, {"ADDRESS_USAGES", 25}, {"ALPHA_SERVICES_STATS", 33},
    {"COUNTRY_CODES", 244}, {"COUPON_USAGES", 3}, {"CUSTOMERS", 16},
    {"CUSTOMER_IDENTIFICATIONS", 6}, {"CUSTOMER_INTERESTS", 6}, {"DISCOUNTS", 7},
    {"LOOKUP_CODES", 56}, {"ORDERS", 3}, {"ORDER_ITEMS", 4}, {"PAYMENT_OPTIONS", 7},
    {"PRODUCTS", 57}, {"PRODUCT_CATEGORIES", 20}, {"PRODUCT_IMAGES", 0},
    {"PRODUCT_STOCK_LEVELS", 26}, {"SALES_ORDER_HEADER", 21456},
    {"SALES_ORDER_LINE_ITEM", 21456}};

TEST(ClassicAlphaoffice, ListsNineteenTablesWithTheirRowCounts) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  ReaderRun run;
  run.o.read_step = 2;
  run.o.table_id.clear();
  run.o.is_first = kYes;
  ASSERT_EQ(run.read(), 0);
  EXPECT_EQ(run.g.zulcode, 0);
  std::string expected = "TABLE_NAME\n------------------------------\n";
  for (const auto& [name, rows] : kRowCounts) expected += name + "\n";
  EXPECT_EQ(run.out, expected);
  ASSERT_EQ(run.result.tables.size(), kRowCounts.size());
  std::int64_t total = 0;
  for (const auto& t : run.result.tables) {
    EXPECT_EQ(t.owner, "ALPHA");
    ASSERT_TRUE(kRowCounts.count(t.name)) << t.name;
    EXPECT_EQ(t.rows, kRowCounts.at(t.name)) << t.name;
    total += t.rows;
  }
  EXPECT_EQ(total, 43544);
}

TEST(ClassicAlphaoffice, ConvertsAddressesWithTheFirstRowAsRecorded) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  ReaderRun run;
  run.o.table_id = "ADDRESSES";
  ASSERT_EQ(run.read(), 0);
  EXPECT_EQ(run.g.zulcode, 0);
  EXPECT_EQ(run.result.last_row_count, 119);
  EXPECT_EQ(run.result.rows_written, 119);
  EXPECT_EQ(run.out.rfind("101,1717 Harrison St,,San Francisco,94103,CA,US,-122.413349,37.769262,", 0), 0u)
      << run.out.substr(0, 200);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 119);
}

TEST(ClassicAlphaoffice, TimestampKeepsItsFraction) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  ReaderRun run;
  run.o.table_id = "ALPHA_SERVICES_STATS";
  ASSERT_EQ(run.read(), 0);
  EXPECT_EQ(run.result.rows_written, 33);
  std::string first = run.out.substr(0, run.out.find('\n'));
  EXPECT_NE(first.find("2014/01/15 09:26:22.466"), std::string::npos) << first;
}

TEST(ClassicAlphaoffice, EveryTableConvertsWithItsRowCount) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  std::int64_t total = 0;
  for (const auto& [name, rows] : kRowCounts) {
    ReaderRun run;
    run.o.table_id = name;
    ASSERT_EQ(run.read(), 0) << name;
    EXPECT_EQ(run.g.zulcode, 0) << name;
    EXPECT_EQ(run.g.message_count, 0) << name;
    EXPECT_EQ(run.result.rows_written, rows) << name;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), rows) << name;
    total += run.result.rows_written;
  }
  EXPECT_EQ(total, 43544);
}

TEST(ClassicAlphaoffice, DescribesATableWithItsIndex) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  ReaderRun run;
  run.o.read_step = 1;
  run.o.table_id = "ALPHA_SERVICES_STATS";
  ASSERT_EQ(run.read(), 0);
  const TableDefinition& t = run.o.table;
  ASSERT_EQ(t.columns.size(), 9u);
  EXPECT_EQ(t.columns[3].name, "UPDATE_TIMESTAMP");
  EXPECT_EQ(t.columns[3].type, kColTimestamp);
  EXPECT_EQ(t.columns[3].precision, 6);
  EXPECT_EQ(t.columns[5].type_text, "DATE");
  ASSERT_EQ(t.indexes.size(), 1u);
  EXPECT_EQ(t.indexes[0].name, "ALPHA_SERVICES_STATS_PK");
  EXPECT_EQ(t.indexes[0].columns, (std::vector<std::string>{"SERVICE_NAME", "FUNCTION_NAME"}));
}

TEST(ClassicAlphaoffice, LargeObjectTableIsReadByItsEntries) {
  QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  ReaderRun run;
  run.o.table_id = "PRODUCT_IMAGES";
  run.o.is_header = kYes;
  ASSERT_EQ(run.read(), 0);
  EXPECT_EQ(run.g.zulcode, 0);
  EXPECT_EQ(run.out,
            "PRODUCT_IMAGE_ID,PRODUCT_ID,DEFAULT_VIEW_FLAG,DETAIL_IMAGE_ID,IMAGE,CREATED_BY,"
            "CREATION_DATE,LAST_UPDATED_BY,LAST_UPDATE_DATE,OBJECT_VERSION_ID\n");
}

}  // namespace
}  // namespace qln
