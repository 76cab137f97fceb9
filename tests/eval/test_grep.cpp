#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/grep_row.hpp"
#include "values/sql_value.hpp"

namespace qln {
namespace {

std::vector<SqlValue> row_of(std::initializer_list<std::pair<int, std::string>> items) {
  std::vector<SqlValue> row;
  for (const auto& [type, text] : items) {
    SqlValue v;
    switch (type) {
      case VT_TEXT:
        value_set_text(v, text);
        break;
      case VT_BYTES:
        value_set_bytes(v, text);
        break;
      case VT_NUMBER:
        value_set_number(v, text);
        break;
      case VT_DATE:
        value_set_date(v, 2011, 12, 31, 23, 59, 59);
        break;
      default:
        break;
    }
    row.push_back(std::move(v));
  }
  return row;
}

int grep(const std::vector<SqlValue>& row, std::string_view keyword) {
  int selected = 99;
  EXPECT_EQ(grep_row(row, keyword, selected), 0);
  return selected;
}

TEST(GrepRow, FindsTheKeywordInTextAndByteValuesOnly) {
  auto row = row_of({{VT_NUMBER, "12345"}, {VT_BYTES, "xabcx"}, {VT_NULL, ""}});
  EXPECT_EQ(grep(row, "abc"), 0);
  // Digits of a number are not searched, nor the text of a date.
  EXPECT_EQ(grep(row, "234"), -1);
  auto dated = row_of({{VT_DATE, ""}, {VT_TEXT, "plain"}});
  EXPECT_EQ(grep(dated, "2011"), -1);
  EXPECT_EQ(grep(dated, "lai"), 0);
}

TEST(GrepRow, ByteWiseAndCaseSensitive) {
  auto row = row_of({{VT_TEXT, "Hello World"}});
  EXPECT_EQ(grep(row, "World"), 0);
  EXPECT_EQ(grep(row, "world"), -1);
  // A byte value is searched past an inner NUL.
  auto bytes = row_of({{VT_BYTES, std::string("a\0needle", 8)}});
  EXPECT_EQ(grep(bytes, "needle"), 0);
  // A multibyte keyword matches its bytes.
  auto jp = row_of({{VT_BYTES, "\xE6\x9D\xB1\xE4\xBA\xAC"}});
  EXPECT_EQ(grep(jp, "\xE4\xBA\xAC"), 0);
  EXPECT_EQ(grep(jp, "\xE4\xBA\xAD"), -1);
}

TEST(GrepRow, EmptyRowsAndKeywords) {
  EXPECT_EQ(grep({}, "x"), -1);
  auto row = row_of({{VT_NULL, ""}});
  EXPECT_EQ(grep(row, "x"), -1);
  EXPECT_EQ(grep(row, ""), 0);
}

}  // namespace
}  // namespace qln
