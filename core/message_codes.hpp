#pragma once
#include <cstdint>

namespace qln {

// The numbered messages the engine itself raises, by name. Their texts are
// in the message table (messages.cpp); the number is what the user sees.
enum class MessageCode : std::int32_t {
  kNone = 0,
  kOutOfMemory = 2,
  kBadArgument = 3,
  kNoArguments = 4,
  kDumpNotRecognised = 11,
  kOpenFile = 1060,
  kConditionTooLong = 1903,
  kConditionTooComplex = 1905,
  kConditionRightInvalid = 1906,
  kConditionLeftInvalid = 1907,
  kSqlAnalysis = 2001,
  kNotSupported = 2009,
  kColumnNotSearchable = 2102,
  kSubquery = 2103,
  kSeveralTables = 2104,
  kGroupBy = 2105,
  kOrderBy = 2106,
  kHaving = 2107,
  kStartWith = 2108,
  kUnknownFunction = 2110,
  kUnsupportedOperator = 2111,
  kUnsupportedType = 2112,
  kFunctionArgumentCount = 2137,
  kFunctionArgument = 2138,
  kTooManyColumns = 2139,
  kUnsupportedSql = 2199,
  kNoColumns = 2204,
  kTableWithoutColumns = 2215,
  kDumpOpen = 3100,
  kDumpHeader = 3101,
  kDumpFormat = 3102,
  kTableNotFound = 3103,
  kColumnNotFound = 3104,
  kDumpBuffer = 3109,
  kDumpRead = 3112,
  kLobColumnNotFound = 3113,
  kDumpEndsEarly = 3114,    // a warning: the rest of the run goes on
  kSameFile = 3115,
  kLobNameTaken = 3116,     // a warning
  kLobPattern = 3117,
  kErrlogOpen = 3118,       // a warning
  kStdoutWrite = 3119,
  kTablesLost = 3123,       // CSV batch: tables left out, the others kept
  kNameTooLong = 3127,
  kColumnWrittenAsNull = 3128,
  kLineTooLong = 3129,
  kFileOpen = 3131,
  kFileWrite = 3133,
  kNotNullUnwritable = 3137,
  kLobDirMissing = 3142,
  kCheckedTablesTwice = 3180,  // the WHERE dialog: two checked entries name one table
  kWhereEntryTooLong = 3181,
  kNoColumnChosen = 3182,
  kConditionFailed = 3200,
  kProcessing = 3900,
  kStopped = 3901,
  kInternal = 4000,
};

constexpr int code_number(MessageCode c) noexcept { return static_cast<int>(c); }

}  // namespace qln
