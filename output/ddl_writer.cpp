#include "output/ddl_writer.hpp"

#include <cctype>
#include <cstdio>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "values/charset.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

constexpr std::uint16_t kPieceMarker = 0xFFFD;  // "pieces follow", before the first length


bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim_right(std::string_view s) noexcept {
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

void trim(std::string& s) {
  std::size_t end = s.size();
  while (end > 0 && is_blank(s[end - 1])) --end;
  std::size_t start = 0;
  while (start < end && is_blank(s[start])) ++start;
  s.assign(s, start, end - start);
}

bool is_ascii(std::string_view s) noexcept {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// DDL of a single-byte database goes out in the output character set; the
// other sets are written as the dump holds them. -1: no conversion.
int ddl_target(const GlobalParams& g, const ConvOptions& o) noexcept {
  const int to = output_charset(o);
  const bool convert = is_single_byte_set(g.db_charset) && has_conversion(to) &&
                       to != kCharsetUtf16 && to != g.db_charset;
  return convert ? to : kCharsetUnknown;
}

// `text` as the output has it, converted into `buf` when it needs it.
std::string_view ddl_output(const GlobalParams& g, int to, std::string_view text,
                            std::string& buf) {
  if (to == kCharsetUnknown || is_ascii(text)) return text;
  buf.assign(text);
  CharsetConverter cv;
  convert_charset(cv, g.db_charset, to, buf);
  return buf;
}

void put(std::FILE* out, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

void put_line(std::FILE* out, std::string_view indent, std::string_view line,
              std::string_view end) {
  put(out, indent);
  put(out, line);
  put(out, end);
}

// The collected line of a stored text, then `end`.
void put_text_line(GlobalParams& g, const DdlState& st, std::string_view end) {
  std::string converted;
  put_line(g.out_stream, {}, ddl_output(g, st.to_charset, st.line, converted), end);
}

// "%s\n" then ";\n\n": a statement written as the dump holds it.
void write_plain(GlobalParams& g, std::string_view statement) {
  put(g.out_stream, statement);
  put(g.out_stream, "\n;\n\n");
}

int format_ddl_text(GlobalParams& g, std::string_view statement, int charset);

void write_formatted(GlobalParams& g, std::string_view statement, int charset) {
  format_ddl_text(g, statement, charset);
  put(g.out_stream, ";\n\n");
}

std::uint8_t source_kind_bit(std::string_view kind) noexcept {
  if (kind == "VIEW") return kDdlView;
  if (kind == "PROCEDURE") return kDdlProcedure;
  if (kind == "FUNCTION") return kDdlFunction;
  if (kind == "PACKAGE") return kDdlPackage;
  return 0;
}

// The first source line names what the object is; "PACKAGE BODY" is a
// package too. The source keeps the case it was written in.
std::string_view source_kind(std::string_view first_line) noexcept {
  for (std::string_view k : {"PROCEDURE", "FUNCTION", "PACKAGE"}) {
    if (starts_with_nocase(first_line, k)) return k;
  }
  return {};
}

// The first line of a stored object's source decides whether it is written.
void fix_kind(const ConvOptions& o, DdlState& st) {
  if (st.first_seen) return;
  st.first_seen = true;
  if (st.text != DdlState::Text::kSource) return;
  st.kind = std::string(source_kind(st.line));
  const std::uint8_t bit = source_kind_bit(st.kind);
  st.write = bit != 0 && ddl_kind_on(o.ddl_kinds, bit);
}

void end_source_line(const ConvOptions& o, DdlState& st, GlobalParams& g) {
  fix_kind(o, st);
  if (st.write) put_text_line(g, st, "\n");
  st.line.clear();
}

// The text is complete: its last line, or the constraint, goes out.
void end_text(GlobalParams& g, const ConvOptions& o, DdlState& st) {
  if (st.text == DdlState::Text::kConstraint) {
    if (st.write) put_text_line(g, st, "\n;\n\n");
  } else if (st.text == DdlState::Text::kView) {
    // A view is one statement and ends like every other.
    if (st.write) put_text_line(g, st, st.line.empty() ? ";\n\n" : "\n;\n\n");
  } else {
    fix_kind(o, st);  // a one-line object
    if (st.write) put_text_line(g, st, "\n\n");
  }
  st.reset();
}

// One byte of text inside a piece. 0, or -1 after 3109.
int take_text_byte(GlobalParams& g, const ConvOptions& o, DdlState& st, unsigned char c) {
  if (c == 0) return 0;
  if (st.text != DdlState::Text::kConstraint && c == '\n') {
    end_source_line(o, st, g);
    return 0;
  }
  if (st.line.size() + 1 >= static_cast<std::size_t>(g.maxp.buffer_long_len))
    return fail(g, MessageCode::kDumpBuffer, "word");
  st.line.push_back(static_cast<char>(c));
  return 0;
}

// Pieces of [16-bit length][bytes] up to a zero length.
int framed_text(GlobalParams& g, const ConvOptions& o, DdlState& st,
                std::span<const unsigned char> bytes, std::size_t& used) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = bytes[i];
    if (st.piece_left > 0) {
      // Two NUL bytes inside a piece: the framing was not what it seemed;
      // end where the statement scanner would end too.
      if (c == 0 && st.prev == 0) {
        used = i + 1;
        end_text(g, o, st);
        return 1;
      }
      st.prev = c;
      --st.piece_left;
      if (take_text_byte(g, o, st, c) != 0) return -1;
      continue;
    }
    if (st.length_bytes == 0) {
      st.length = c;
      st.length_bytes = 1;
      continue;
    }
    st.length = static_cast<std::uint16_t>(st.length | (c << 8));
    st.length_bytes = 0;
    const bool first = st.skip > 0;
    st.skip = 0;
    if (first && st.length == kPieceMarker) continue;
    if (st.length == 0) {
      used = i + 1;
      end_text(g, o, st);
      return 1;
    }
    st.piece_left = st.length;
    st.prev = 0xFF;
  }
  used = bytes.size();
  return 0;
}

// Source text without known framing: the byte after each line feed is a
// length byte and is dropped, a lone NUL is passed over, two NUL bytes in a
// row end the text.
int unframed_text(GlobalParams& g, const ConvOptions& o, DdlState& st,
                  std::span<const unsigned char> bytes, std::size_t& used) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = bytes[i];
    if (st.drop_next) {
      st.drop_next = false;
      st.prev = c;
      continue;
    }
    if (c == 0) {
      if (st.prev == 0) {
        used = i + 1;
        end_text(g, o, st);
        return 1;
      }
      st.prev = 0;
      continue;
    }
    st.prev = c;
    if (c == '\n') {
      end_source_line(o, st, g);
      st.drop_next = true;
      continue;
    }
    if (take_text_byte(g, o, st, c) != 0) return -1;
  }
  used = bytes.size();
  return 0;
}

// Starts a stored source text after a "CREATE " statement that is none of
// the single-statement kinds.
void begin_source(const ConvOptions& o, DdlState& st, std::string_view statement) {
  st.reset();
  st.first_line = std::string(statement);
  if (statement.starts_with("CREATE VIEW")) {
    st.text = DdlState::Text::kView;
    st.kind = "VIEW";
    st.first_seen = true;
    st.write = ddl_kind_on(o.ddl_kinds, kDdlView);
    st.framed = true;  // the line ended at its line feed; the pieces follow
    st.skip = 1;
    return;
  }
  st.text = DdlState::Text::kSource;
  // The export writes "CREATE " as the text's first piece: the statement
  // scanner stops at the next piece's length, whose low byte ends the
  // statement (or is the line feed that ended it).
  if (statement.size() == 8) {
    st.framed = true;
    st.piece_left = static_cast<unsigned char>(statement[7]);
  } else if (statement.size() == 7) {
    st.framed = true;
    st.length = '\n';
    st.length_bytes = 1;
  }
}

void begin_constraint(const ConvOptions& o, DdlState& st, std::string_view statement) {
  st.reset();
  st.first_line = std::string(statement);
  st.text = DdlState::Text::kConstraint;
  st.write = ddl_all_kinds(o.ddl_kinds);
  st.framed = true;
  st.skip = 1;
}

}  // namespace

namespace {

// `charset` is the set `statement` is in, which decides where its words end.
int format_ddl_text(GlobalParams& g, std::string_view statement, int charset) {
  std::FILE* out = g.out_stream;
  std::string line;
  std::string word;
  std::string ahead;
  word.reserve(kMaxWordLen + 1);
  std::size_t pos = 0;
  int depth = 0;
  int prev_depth = 0;  // depth after the previous word: a TAB indents at 1
  bool nested = false;

  auto indent = [&]() -> std::string_view { return prev_depth == 1 ? "\t" : ""; };

  for (;;) {
    const int before = depth;
    int code = 0;
    if (get_word(charset, statement, pos, word, code, depth) != 0) break;
    switch (code) {
      case kWordMul:
        line += word;
        break;
      case kWordComma:
        trim(line);
        if (nested) {
          line += ',';
        } else {
          put_line(out, indent(), line, ",\n");
          line.clear();
        }
        break;
      case kWordLParen:
        if (depth == 1 && before == 0) {
          if (!line.empty()) put_line(out, indent(), trim_right(line), "\n");
          line.clear();
          put(out, "(\n");
        } else {
          trim(line);
          line += '(';
        }
        if (depth > 1) nested = true;
        break;
      case kWordRParen:
        if (depth == 0 && before == 1) {
          if (!line.empty()) put_line(out, indent(), trim_right(line), "\n");
          line.clear();
          put(out, ") \n");
        } else {
          trim(line);
          line += ") ";
        }
        if (depth == 1) nested = false;
        break;
      default: {
        line += word;
        // A qualified name split at its dot stays together.
        std::size_t peek = pos;
        int peek_depth = depth;
        int peek_code = 0;
        if (get_word(charset, statement, peek, ahead, peek_code, peek_depth) == 0 &&
            ahead == ".") {
          line += '.';
          pos = peek;
          if (get_word(charset, statement, peek, ahead, peek_code, peek_depth) == 0 &&
              peek_code != kWordComma && peek_code != kWordLParen && peek_code != kWordRParen) {
            line += ahead;
            pos = peek;
          }
        }
        line += ' ';
        break;
      }
    }
    prev_depth = depth;
  }
  trim(line);
  // A word the splitter could not take (longer than a word may be): the
  // rest of the statement goes out as it stands rather than being lost.
  std::string_view rest = statement.substr(std::min(pos, statement.size()));
  while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
  rest = trim_right(rest);
  if (!rest.empty()) {
    if (!line.empty()) line += ' ';
    line += rest;
  }
  if (!line.empty()) put_line(out, {}, line, "\n");
  return 0;
}

}  // namespace

int format_ddl(GlobalParams& g, std::string_view statement) {
  return format_ddl_text(g, statement, g.db_charset);
}

int ddl_statement(GlobalParams& g, const ConvOptions& o, DdlState& state,
                  std::string_view s) {
  const std::uint8_t kinds = o.ddl_kinds;
  const int to = ddl_target(g, o);
  const int charset = to != kCharsetUnknown ? to : g.db_charset;
  std::string converted;
  const std::string_view out = ddl_output(g, to, s, converted);
  if (s.starts_with("CREATE TABLE \"")) {
    if (ddl_kind_on(kinds, kDdlTable)) write_formatted(g, out, charset);
    return 0;
  }
  if (s.starts_with("CREATE INDEX \"") || s.starts_with("CREATE UNIQUE INDEX \"") ||
      s.starts_with("CREATE GLOBAL TEMPORARY TABLE \"")) {
    if (ddl_kind_on(kinds, kDdlIndex)) write_formatted(g, out, charset);
    return 0;
  }
  if (s.starts_with("CREATE SEQUENCE \"")) {
    if (ddl_kind_on(kinds, kDdlSequence)) write_plain(g, out);
    return 0;
  }
  if (s.starts_with("CREATE SYNONYM \"")) {
    if (ddl_kind_on(kinds, kDdlSynonym)) write_plain(g, out);
    return 0;
  }
  if (s.starts_with("CREATE LIBRARY \"") || s.starts_with("CREATE OPERATOR \"")) {
    if (ddl_all_kinds(kinds)) write_plain(g, out);
    return 0;
  }
  if (s.starts_with("CREATE TYPE") || s.starts_with("CREATE FORMAT")) return 0;
  if (s.starts_with("CREATE ")) {
    begin_source(o, state, s);
    if (state.text == DdlState::Text::kView && state.write) format_ddl_text(g, out, charset);
    return 1;
  }
  if (s.starts_with("GRANT ") || s.starts_with("REVOKE ")) {
    if (ddl_all_kinds(kinds)) write_plain(g, out);
    return 0;
  }
  if (s.starts_with("CALTER TABLE")) {
    begin_constraint(o, state, s);
    return 1;
  }
  if (s.starts_with("ALTER ")) {
    // A default that the next statement gives again, column by column.
    const bool bare_default =
        s.starts_with("ALTER TABLE") && trim_right(s).ends_with("MODIFY DEFAULT");
    if (ddl_all_kinds(kinds) && !bare_default) write_plain(g, out);
    return 0;
  }
  return 0;
}

int ddl_text(GlobalParams& g, const ConvOptions& o, DdlState& state,
             std::span<const unsigned char> bytes, std::size_t& used) {
  used = 0;
  if (state.text == DdlState::Text::kNone) return 1;
  state.to_charset = ddl_target(g, o);
  return state.framed ? framed_text(g, o, state, bytes, used)
                      : unframed_text(g, o, state, bytes, used);
}

void ddl_text_end(GlobalParams& g, DdlState& state) {
  if (state.text != DdlState::Text::kNone && state.write && !state.line.empty())
    put_text_line(g, state, "\n");
  state.reset();
}

}  // namespace qln
