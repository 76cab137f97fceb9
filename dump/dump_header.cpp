#include "dump/dump_header.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "dump/datapump_segments.hpp"
#include "dump/dump_file.hpp"
#include "values/charset.hpp"

namespace qln {
namespace {

constexpr int kMsgNotDump = 11;
constexpr int kMsgOpenFailed = 3100;

constexpr std::size_t kClassicReadLen = 1280;
constexpr std::size_t kClassicScanEnd = 256;
constexpr std::size_t kDateCaptureFrom = 127;
constexpr std::size_t kMaxHeaderText = 31;  // what the header fields can show
constexpr std::size_t kMaxDateLen = 30;
constexpr std::size_t kMaxDpVersionLen = 30;
constexpr int kBlankSeen = 10;  // field counter value: a blank has been seen
constexpr int kCharsetField = 7;

constexpr std::int64_t kXmlScanStart = 512;
constexpr std::size_t kXmlBlock = 256;
constexpr std::string_view kXmlMark = "xml version";
constexpr std::size_t kXmlMarkAt = 4;

const std::string& first_file(const ConvOptions& o) {
  static const std::string kNone;
  return o.exp_fname.empty() ? kNone : o.exp_fname.front();
}

int open_failed(GlobalParams& g, const ConvOptions& o) {
  fail(g, kMsgOpenFailed, first_file(o));
  return kHeaderOpenFailed;
}

int not_a_dump(GlobalParams& g) {
  fail(g, kMsgNotDump);
  return kHeaderNotDump;
}

// A known 16-bit id decides; older headers whose id is not in the table are
// still told by the low byte, as before.
int classify_db_charset(unsigned char high, unsigned char low) noexcept {
  if (int set = charset_from_oracle_id((unsigned{high} << 8) | low); set != kCharsetUnknown)
    return set;
  if (low >= 0x30 && low <= 0x3F) return kCharsetEucJp;
  if (low >= 0x40 && low <= 0x4F) return kCharsetSjis;
  if (low >= 0x60 && low <= 0x6F) return kCharsetUtf8;
  return kCharsetUsAscii;
}

int classify_nls_charset(unsigned char high, unsigned char low) noexcept {
  if (low >= 0xD0 && low <= 0xDF) return kCharsetUtf16;
  return classify_db_charset(high, low);
}

std::string_view trim(std::string_view s) noexcept {
  constexpr std::string_view kBlanks = " \t\n";
  std::size_t b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(kBlanks);
  return s.substr(b, e - b + 1);
}

void cut_text(std::string& text, int charset, std::size_t max_bytes) {
  text.resize(cut_at_char_boundary(charset, text, max_bytes));
}

// Decimal value of the version up to its first '.'; -1 when there is none.
int major_version(std::string_view version) noexcept {
  version = version.substr(0, version.find('.'));
  int value = 0;
  auto [end, ec] = std::from_chars(version.data(), version.data() + version.size(), value);
  if (ec != std::errc() || end == version.data()) return -1;
  return value;
}

struct ClassicHeader {
  bool direct = false;
  std::size_t magic_at = 0;
};

// Finds "EXPORT:" at offsets 3..31, noting a "D\n" (direct path) before it.
bool find_export_magic(const unsigned char* buf, std::size_t n, ClassicHeader& h) {
  constexpr std::string_view kMagic = "EXPORT:";
  for (std::size_t p = 3; p <= 31; ++p) {
    if (p + 1 < n && buf[p] == 0x44 && buf[p + 1] == 0x0A) h.direct = true;
    if (p + kMagic.size() <= n && std::memcmp(buf + p, kMagic.data(), kMagic.size()) == 0) {
      h.magic_at = p;
      return true;
    }
  }
  return false;
}

void act_on_field(ConvOptions& o, int field, const std::string& text) {
  switch (field) {
    case 0:
      o.exp_version_str = text.size() > 2 ? text.substr(2) : std::string();
      break;
    case 1:
      o.exp_user = text.size() > 1 ? text.substr(1) : std::string();
      break;
    case 2:
      if (text == "RTABLES") o.exp_mode = 0;
      if (text == "RUSERS") o.exp_mode = 1;
      if (text == "RENTIRE") o.exp_mode = 2;
      break;
    default:
      break;
  }
}

void read_classic_header(GlobalParams& g, ConvOptions& o, const unsigned char* buf,
                         std::size_t n, const ClassicHeader& h) {
  int db = kCharsetSjis;
  int nls = kCharsetUtf16;
  int field = 0;
  std::string text;
  const std::size_t end = std::min(n, kClassicScanEnd);
  for (std::size_t off = h.magic_at + 6; off < end; ++off) {
    const unsigned char c = buf[off];
    if (c == 0x00 || c == 0x0A) {
      act_on_field(o, field, text);
      // The set ids are 16-bit big-endian with a zero high byte for
      // single-byte sets, so the charset field is taken by position: its
      // six bytes follow the end of field 6.
      if (field == kCharsetField - 1 && off + 6 < n) {
        db = classify_db_charset(buf[off + 3], buf[off + 4]);
        if (o.db_charset_override != kCharsetUnknown) db = o.db_charset_override;
        nls = classify_nls_charset(buf[off + 5], buf[off + 6]);
      }
      ++field;
      text.clear();
    } else if (c == 0x20) {
      text.push_back(' ');
      field = kBlankSeen;
    } else {
      text.push_back(static_cast<char>(c));
      if (field == kBlankSeen && off >= kDateCaptureFrom) {
        std::string_view date = trim(text);
        if (date.size() <= kMaxDateLen) {
          o.exp_date = date;
          if (has_conversion(db) && db != kCharsetUtf16) {
            CharsetConverter cv;
            convert_charset(cv, db, g.os_charset, o.exp_date);
            cut_text(o.exp_date, g.os_charset, kMaxHeaderText);
          }
        }
        o.dump_type = h.direct ? kDumpDirect : kDumpConventional;
        break;
      }
    }
  }
  g.db_charset = db;
  g.nls_charset = nls;
  cut_text(o.exp_version_str, db, kMaxHeaderText);
  cut_text(o.exp_user, db, kMaxHeaderText);
  if (int v = major_version(o.exp_version_str); v >= 0) o.exp_version = v;
}

bool is_version_text(std::string_view s) noexcept {
  if (s.empty() || s.front() < '0' || s.front() > '9') return false;
  if (s.find_first_not_of("0123456789.") != std::string_view::npos) return false;
  return std::count(s.begin(), s.end(), '.') >= 2;
}

// Walks the NUL-separated strings of the header's first bytes.
void match_dp_strings(ConvOptions& o, std::string_view head, int& charset) {
  int step = 0;
  bool lbb_seen = false;
  std::string_view fallback_version;
  std::size_t start = 0;
  for (std::size_t nul = head.find('\0'); nul != std::string_view::npos;
       start = nul + 1, nul = head.find('\0', start)) {
    std::string_view s = head.substr(start, nul - start);
    if (s.empty()) continue;
    if (fallback_version.empty() && s.size() <= kMaxDpVersionLen && is_version_text(s)) {
      fallback_version = s;
    }
    if (step == 0) {
      if (s.front() != '"') continue;
      std::size_t close = s.find('"', 1);
      if (close != std::string_view::npos) o.exp_user = s.substr(1, close - 1);
      step = 1;
    } else if (step == 1) {
      charset = charset_id_from_name(s);
      if (charset != kCharsetUnknown) {
        step = 2;
      }
    } else if (step == 2) {
      if (s.starts_with("LBB ")) {
        lbb_seen = true;
        step = 3;
      }
    } else {
      if (s.size() <= kMaxDpVersionLen) o.exp_version_str = s;
      break;
    }
  }
  // Headers of newer releases carry no "LBB " string before the version.
  if (!lbb_seen && !fallback_version.empty()) o.exp_version_str = fallback_version;
  cut_text(o.exp_user, charset, kMaxHeaderText);
}

bool has_xml_block(const DumpFile& f) {
  std::vector<unsigned char> chunk(kXmlBlock * 256);
  for (std::int64_t pos = kXmlScanStart;;) {
    std::int64_t got = f.read_at(pos, chunk.data(), chunk.size());
    if (got <= 0) return false;
    const auto len = static_cast<std::size_t>(got);
    for (std::size_t b = 0; b + kXmlMarkAt + kXmlMark.size() <= len; b += kXmlBlock) {
      if (std::memcmp(chunk.data() + b + kXmlMarkAt, kXmlMark.data(), kXmlMark.size()) == 0) {
        return true;
      }
    }
    if (len < chunk.size()) return false;
    pos += got;
  }
}

void reset_header_fields(ConvOptions& o) {
  o.dump_type = kDumpUnknown;
  o.exp_mode = -1;
  o.exp_version_str.clear();
  o.exp_user.clear();
  o.exp_date.clear();
}

// Data Pump names the national set only in the table descriptions; the
// first one speaks for the dump. AL16UTF16, the usual one, when it names
// neither of the two national sets.
int datapump_national_charset(const std::string& path) {
  DumpFile f;
  std::vector<DataPumpSegment> first;
  std::string xml;
  if (f.open(path) != 0 || find_datapump_segments(f, 0, first, 1) != 0 || first.empty() ||
      !read_segment_xml(f, first.front(), xml))
    return kCharsetUtf16;
  constexpr std::string_view kOpen = "<NCHARSET>";
  const std::size_t from = xml.find(kOpen);
  const std::size_t to = from == std::string::npos ? from : xml.find('<', from + kOpen.size());
  if (to == std::string::npos) return kCharsetUtf16;
  const int id = charset_id_from_name(std::string_view(xml).substr(from + kOpen.size(), to - from - kOpen.size()));
  return id == kCharsetUtf8 ? id : kCharsetUtf16;
}

}  // namespace

int check_dpdmp_header(GlobalParams& g, ConvOptions& o, int& charset) {
  charset = kCharsetUnknown;
  DumpFile f;
  if (f.open(first_file(o)) != 0) return open_failed(g, o);
  std::array<char, kDpHeaderScanLen> head{};
  std::int64_t got = f.read_at(0, head.data(), head.size());
  if (got < 0) return not_a_dump(g);
  match_dp_strings(o, std::string_view(head.data(), static_cast<std::size_t>(got)), charset);
  if (has_xml_block(f)) o.dump_type = kDumpDataPump;
  return 0;
}

int read_dmp_header(GlobalParams& g, ConvOptions& o) {
  reset_header_fields(o);
  std::array<unsigned char, kClassicReadLen> buf{};
  std::int64_t got = 0;
  {
    DumpFile f;
    if (f.open(first_file(o)) != 0) return open_failed(g, o);
    got = f.read_at(0, buf.data(), buf.size());
    if (got < 0) return not_a_dump(g);
  }
  const auto n = static_cast<std::size_t>(got);
  ClassicHeader h;
  if (n > 0 && buf[0] == 0x03 && find_export_magic(buf.data(), n, h)) {
    read_classic_header(g, o, buf.data(), n, h);
    return 0;
  }
  // Not a classic export: the Data Pump reader's header is the last chance.
  reset_header_fields(o);
  int charset = kCharsetUnknown;
  if (int rc = check_dpdmp_header(g, o, charset); rc != 0) return rc;
  if (o.dump_type != kDumpDataPump) return not_a_dump(g);
  g.db_charset = o.db_charset_override != kCharsetUnknown ? o.db_charset_override : charset;
  g.nls_charset = datapump_national_charset(first_file(o));
  return 0;
}

void debug_header_block(const GlobalParams& g, const std::string& path) {
  constexpr std::size_t kBlock = 8192;
  constexpr std::size_t kLine = 16;
  // Zero-filled: a dump shorter than a line still shows whole lines.
  std::vector<unsigned char> block(kBlock + kLine, 0);
  DumpFile f;
  const std::int64_t got = f.open(path) == 0 ? f.read_at(0, block.data(), kBlock) : -1;
  debug_log(g, "header block >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
  for (std::size_t pos = 0; got > 0 && pos < static_cast<std::size_t>(got); pos += kLine)
    debug_hex_line(g, block.data(), pos, static_cast<std::int64_t>(pos));
  debug_log(g, "header block <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
}

int get_export_mode(std::string_view header, int& mode, int& header_len) {
  mode = -1;
  header_len = 4096;
  std::string word;
  for (char ch : header) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= '0' && c <= '9') || (c >= 0x41 && c <= 0x7A)) {
      word.push_back(ch);
      continue;
    }
    if (c != 0x0A) continue;
    if (mode < 0) {
      if (word == "RTABLES") mode = 0;
      if (word == "RUSERS") mode = 1;
      if (word == "RENTIRE") mode = 2;
    } else {
      auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), header_len);
      if (ec == std::errc::result_out_of_range) {
        header_len = INT_MAX;  // far beyond any buffer: the reader refuses it
        return 0;
      }
      if (ec != std::errc() || end != word.data() + word.size()) {
        header_len = 4096;
        return -1;
      }
      return 0;
    }
    word.clear();
  }
  return -1;
}

}  // namespace qln
