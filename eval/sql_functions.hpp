#pragma once
#include <span>
#include <string>
#include <string_view>

#include "core/global_params.hpp"
#include "values/date_text.hpp"
#include "values/sql_value.hpp"

namespace qln {

// Codes of the SQL functions a condition may call.
enum FunctionCode : int {
  kFnToChar = 1,
  kFnToDate = 2,
  kFnToNumber = 3,
  kFnLength = 4,
  kFnLengthb = 5,
  kFnSubstr = 6,
  kFnSubstrb = 7,
  kFnSysdate = 8,
  kFnUpper = 9,
  kFnLower = 10,
  kFnLpad = 11,
  kFnRpad = 12,
  kFnTrim = 13,
  kFnLtrim = 14,
  kFnRtrim = 15,
  kFnInstr = 16,
  kFnInstrb = 17,
};

// Most arguments a call takes.
inline constexpr int kMaxFunctionArgs = 5;

// The code of a function name (any letter case), or -1.
int lookup_function(std::string_view name);

// The argument counts a function takes (max -1: no upper bound); false
// for an unknown code.
bool function_arg_range(int code, int& min_args, int& max_args);

// The upper-case name of a code ("" for an unknown one).
std::string_view function_name(int code);

// Checks the argument count and calls the function; the result is written
// to `result` (which may be one of the arguments). A wrong count reports
// 2137 with the function's name. A failed function (bad argument, bad
// format, result over 4,000 bytes) returns -1 with the error value in
// `result` and reports nothing: the evaluator reports 3200, the row writer
// 2138. Character functions step through text by g.os_charset.
int call_function(GlobalParams& g, int code, std::span<const SqlValue> args, SqlValue& result);

// TO_DATE(text, format) into `result` (VT_DATE); -1 with the error value
// when the text or format is empty or too long or a month name is unknown.
int to_date(std::string_view text, std::string_view format, int charset, SqlValue& result);

}  // namespace qln
