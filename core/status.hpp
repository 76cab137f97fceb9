#pragma once
#include <string>
#include <string_view>
#include <utility>

#include "core/message_codes.hpp"

namespace qln {

// The outcome of an engine call: ok, or the numbered message that ended it
// with the text that fills the message's "%s". The message itself has been
// reported already (through the run's message sink) when a Status carries it.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status failure(MessageCode code, std::string_view text = {}) {
    return Status(code, std::string(text));
  }

  bool ok() const noexcept { return code_ == MessageCode::kNone; }
  explicit operator bool() const noexcept { return ok(); }
  MessageCode code() const noexcept { return code_; }
  const std::string& text() const noexcept { return text_; }

 private:
  Status(MessageCode code, std::string text) : code_(code), text_(std::move(text)) {}

  MessageCode code_ = MessageCode::kNone;
  std::string text_;
};

}  // namespace qln
