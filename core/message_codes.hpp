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
  kNotSupported = 2009,
  kUnsupportedType = 2112,
  kFunctionArgumentCount = 2137,
  kFunctionArgument = 2138,
  kTooManyColumns = 2139,
  kTableWithoutColumns = 2215,
  kDumpOpen = 3100,
  kDumpHeader = 3101,
  kDumpFormat = 3102,
  kTableNotFound = 3103,
  kColumnNotFound = 3104,
  kDumpBuffer = 3109,
  kLobColumnNotFound = 3113,
  kLineTooLong = 3129,
  kFileOpen = 3131,
  kFileWrite = 3133,
  kLobDirMissing = 3137,
  kProcessing = 3900,
  kStopped = 3901,
  kInternal = 4000,
};

constexpr int code_number(MessageCode c) noexcept { return static_cast<int>(c); }

}  // namespace qln
