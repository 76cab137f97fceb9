#include "dump/datapump_xml.hpp"

#include <cstdint>

namespace qln {
namespace {

bool is_name_end(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// The end of the tag that opens at `lt` ('>' position), quoted attribute
// values passed over; npos when the text ends first.
std::size_t tag_end(std::string_view t, std::size_t lt) noexcept {
  char quote = 0;
  for (std::size_t i = lt + 1; i < t.size(); ++i) {
    char c = t[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Passes over a comment, processing instruction or declaration at `lt`;
// the position after it, or npos.
std::size_t skip_markup(std::string_view t, std::size_t lt) noexcept {
  std::string_view rest = t.substr(lt);
  std::size_t end;
  if (rest.starts_with("<!--")) {
    end = t.find("-->", lt + 4);
    return end == std::string_view::npos ? end : end + 3;
  }
  if (rest.starts_with("<?")) {
    end = t.find("?>", lt + 2);
    return end == std::string_view::npos ? end : end + 2;
  }
  end = t.find('>', lt + 2);
  return end == std::string_view::npos ? end : end + 1;
}

// From `from`, the '<' of the closing tag that matches an element named
// `name` whose content starts there (same-named elements inside counted).
std::size_t matching_close(std::string_view t, std::size_t from, std::string_view name) noexcept {
  int depth = 0;
  std::size_t i = from;
  while (true) {
    std::size_t lt = t.find('<', i);
    if (lt == std::string_view::npos || lt + 1 >= t.size()) return std::string_view::npos;
    char c = t[lt + 1];
    if (c == '!' || c == '?') {
      i = skip_markup(t, lt);
      if (i == std::string_view::npos) return i;
      continue;
    }
    bool closing = c == '/';
    std::size_t n = lt + (closing ? 2 : 1);
    std::size_t gt = tag_end(t, lt);
    if (gt == std::string_view::npos) return gt;
    bool named = t.size() - n > name.size() && t.compare(n, name.size(), name) == 0 &&
                 is_name_end(t[n + name.size()]);
    if (named) {
      if (closing) {
        if (depth == 0) return lt;
        --depth;
      } else if (t[gt - 1] != '/') {
        ++depth;
      }
    }
    i = gt + 1;
  }
}

}  // namespace

bool XmlChildren::next(XmlElement& out) noexcept {
  while (!damaged_) {
    std::size_t lt = text_.find('<', pos_);
    if (lt == std::string_view::npos || lt + 1 >= text_.size()) {
      pos_ = text_.size();
      return false;
    }
    char c = text_[lt + 1];
    if (c == '!' || c == '?') {
      pos_ = skip_markup(text_, lt);
      if (pos_ == std::string_view::npos) damaged_ = true;
      continue;
    }
    if (c == '/') {  // a closing tag with no opening one
      damaged_ = true;
      return false;
    }
    std::size_t gt = tag_end(text_, lt);
    if (gt == std::string_view::npos) {
      damaged_ = true;
      return false;
    }
    std::size_t name_end = lt + 1;
    while (name_end < gt && !is_name_end(text_[name_end])) ++name_end;
    out.name = text_.substr(lt + 1, name_end - lt - 1);
    if (out.name.empty()) {
      damaged_ = true;
      return false;
    }
    if (text_[gt - 1] == '/') {
      out.content = {};
      pos_ = gt + 1;
      return true;
    }
    std::size_t close = matching_close(text_, gt + 1, out.name);
    if (close == std::string_view::npos) {
      damaged_ = true;
      return false;
    }
    out.content = text_.substr(gt + 1, close - gt - 1);
    std::size_t after = text_.find('>', close);
    pos_ = after == std::string_view::npos ? text_.size() : after + 1;
    return true;
  }
  return false;
}

bool xml_child(std::string_view content, std::string_view name, std::string_view& out) noexcept {
  XmlChildren children(content);
  XmlElement e;
  while (children.next(e)) {
    if (e.name == name) {
      out = e.content;
      return true;
    }
  }
  return false;
}

namespace {

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool numeric_reference(std::string_view ref, std::uint32_t& cp) noexcept {
  // ref is what stands between "&#" and ";".
  int base = 10;
  if (!ref.empty() && (ref.front() == 'x' || ref.front() == 'X')) {
    base = 16;
    ref.remove_prefix(1);
  }
  if (ref.empty() || ref.size() > 8) return false;
  cp = 0;
  for (char c : ref) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    cp = cp * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
  }
  return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

}  // namespace

bool xml_unescape(std::string_view text, std::string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, amp - i));
    std::size_t semi = text.find(';', amp);
    if (semi == std::string_view::npos || semi - amp > 12) return false;
    std::string_view ref = text.substr(amp + 1, semi - amp - 1);
    std::uint32_t cp = 0;
    if (ref == "quot") out.push_back('"');
    else if (ref == "amp") out.push_back('&');
    else if (ref == "lt") out.push_back('<');
    else if (ref == "gt") out.push_back('>');
    else if (ref == "apos") out.push_back('\'');
    else if (!ref.empty() && ref.front() == '#' && numeric_reference(ref.substr(1), cp)) append_utf8(out, cp);
    else return false;
    i = semi + 1;
  }
  return true;
}

}  // namespace qln
