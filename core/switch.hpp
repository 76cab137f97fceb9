#pragma once
#include <cstdint>

namespace qln {

// The records keep yes/no switches the way their debug dump prints them:
// 0 means yes and -1 means no. Code reads them only through these helpers.
using Switch = std::int32_t;
inline constexpr Switch kYes = 0;
inline constexpr Switch kNo = -1;

constexpr bool is_on(Switch s) noexcept { return s == kYes; }
constexpr Switch to_switch(bool on) noexcept { return on ? kYes : kNo; }
inline void set_switch(Switch& s, bool on) noexcept { s = to_switch(on); }

}  // namespace qln
