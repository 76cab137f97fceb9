#include "dump/datapump_header.hpp"

#include <algorithm>
#include <string_view>

#include "core/table_definition.hpp"

namespace qln {
namespace {

// The NUL-ended text at `at`, at most `max` bytes; empty when it has no end.
std::string_view text_at(std::span<const std::uint8_t> b, std::size_t at, std::size_t max) {
  std::string_view s(reinterpret_cast<const char*>(b.data()) + at, std::min(max, b.size() - at));
  std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? std::string_view{} : s.substr(0, nul);
}

bool printable(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

}  // namespace

bool parse_datapump_header(std::span<const std::uint8_t> b, DataPumpHeader& out) {
  out = DataPumpHeader{};
  if (b.size() < kDpVersionAt + kDpHeaderTextLen) return false;
  out.format = b[0];
  out.charset_id = (b[kDpCharsetIdAt] << 8) | b[kDpCharsetIdAt + 1];
  // "OWNER"."NAME": names of at most 128 bytes, without quotes inside.
  std::string_view master = text_at(b, kDpMasterAt, 2 * kMaxNameLen + 6);
  if (master.size() < 7 || master.front() != '"' || master.back() != '"') return false;
  std::size_t sep = master.find("\".\"");
  if (sep == std::string_view::npos || sep < 2 || sep + 4 >= master.size()) return false;
  std::string_view owner = master.substr(1, sep - 1);
  std::string_view name = master.substr(sep + 3, master.size() - sep - 4);
  if (owner.size() > kMaxNameLen || name.size() > kMaxNameLen || owner.find('"') != std::string_view::npos ||
      name.find('"') != std::string_view::npos || !printable(owner) || !printable(name))
    return false;
  out.master_owner = owner;
  out.master_name = name;
  std::string_view charset = text_at(b, kDpCharsetNameAt, kDpHeaderTextLen);
  std::string_view version = text_at(b, kDpVersionAt, kDpHeaderTextLen);
  if (printable(charset)) out.charset_name = charset;
  if (printable(version)) out.version_text = version;
  return true;
}

}  // namespace qln
