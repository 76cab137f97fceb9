#pragma once
#include <cstdlib>
#include <optional>
#include <string>

namespace qln::test_support {

// Sets (or removes) one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// The user's locale as LANG alone names it (QLN_LANG and the LC_ variables
// unset), for this process and the programs it starts. The program's
// language and character set follow it, so tests that read its texts set it.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* lang = "ja_JP.UTF-8") : lang_("LANG", lang) {}

 private:
  ScopedEnv forced_{"QLN_LANG", nullptr};
  ScopedEnv all_{"LC_ALL", nullptr};
  ScopedEnv messages_{"LC_MESSAGES", nullptr};
  ScopedEnv ctype_{"LC_CTYPE", nullptr};
  ScopedEnv lang_;
};

}  // namespace qln::test_support
