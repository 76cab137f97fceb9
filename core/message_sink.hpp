#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/message_codes.hpp"

namespace qln {

// Where the numbered messages of a run go: the console, an error log, a
// window. Implementations must accept calls from any thread.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // `line` is the whole message as the user reads it ("ZUL-03103: ...").
  virtual void message(MessageCode code, std::string_view line) = 0;
};

// Keeps the messages in arrival order (tests, and front ends that show them
// at the end).
class CollectingSink final : public MessageSink {
 public:
  struct Entry {
    MessageCode code;
    std::string line;
  };
  void message(MessageCode code, std::string_view line) override {
    std::lock_guard<std::mutex> lock(mu_);
    entries_.push_back({code, std::string(line)});
  }
  std::vector<Entry> entries() const {
    std::lock_guard<std::mutex> lock(mu_);
    return entries_;
  }

 private:
  mutable std::mutex mu_;
  std::vector<Entry> entries_;
};

}  // namespace qln
