#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

// DDL output (output_mode 30). The classic reader hands every statement it
// reads to ddl_statement; when that answers 1, the bytes after the statement
// are the stored text of a view, package, function, procedure or other
// object, or a constraint text after "CALTER TABLE", and the reader feeds
// them to ddl_text until it answers 1 again.

// What the DDL writer keeps between the bytes of one stored text.
struct DdlState {
  enum class Text : std::uint8_t { kNone, kSource, kView, kConstraint };

  Text text = Text::kNone;
  std::string first_line;  // the object's CREATE statement line
  std::string kind;        // "VIEW", "PROCEDURE", "FUNCTION", "PACKAGE" or empty
  bool first_seen = false; // the first source line fixed the kind
  bool write = false;      // the kind's bit is set
  std::string line;        // the line being collected

  // Stored texts come as [16-bit length][bytes] pieces ended by a zero
  // length; the pieces are followed exactly when their framing is known.
  bool framed = false;
  std::uint32_t piece_left = 0;  // bytes of the current piece still to come
  int length_bytes = 0;          // bytes of the next length field read so far
  std::uint16_t length = 0;
  int skip = 0;                  // bytes still to drop before the text

  // Without framing, the old byte rules: a lone NUL is passed over, two in
  // a row end the text.
  unsigned char prev = 0xFF;
  bool drop_next = false;

  int to_charset = -1;  // the set the text is written in; -1 as it stands

  void reset() {
    text = Text::kNone;
    first_line.clear();
    kind.clear();
    first_seen = false;
    write = false;
    line.clear();
    framed = false;
    piece_left = 0;
    length_bytes = 0;
    length = 0;
    skip = 0;
    prev = 0xFF;
    drop_next = false;
    to_charset = -1;
  }
};

// Whether DDL=... chose `kind` (0xFF chooses everything, also the
// statements that belong to no kind).
constexpr bool ddl_kind_on(std::uint8_t kinds, std::uint8_t kind) noexcept {
  return (kinds & kind) != 0;
}
constexpr bool ddl_all_kinds(std::uint8_t kinds) noexcept { return kinds == kDdlAll; }

// Writes one CREATE TABLE / INDEX / VIEW heading laid out one column a line
// to g.out_stream (the caller adds ";\n\n"). Returns 0.
int format_ddl(GlobalParams& g, std::string_view statement);

// Acts on one statement in DDL mode: writes it when o.ddl_kinds chose its
// kind. 1 when a stored or constraint text follows (feed it to ddl_text),
// 0 when the reader goes on with the next statement.
int ddl_statement(GlobalParams& g, const ConvOptions& o, DdlState& state,
                  std::string_view statement);

// Takes bytes of the stored text that follows a statement for which
// ddl_statement answered 1. `used` receives how many bytes were taken.
// 1 when the text ended (the reader goes on with statements; the bytes after
// `used` are not part of it), 0 when every byte was taken and more are
// needed, -1 after message 3109 (a line longer than the word limit).
int ddl_text(GlobalParams& g, const ConvOptions& o, DdlState& state,
             std::span<const unsigned char> bytes, std::size_t& used);

// The data ended inside a stored text: writes what was collected.
void ddl_text_end(GlobalParams& g, DdlState& state);

}  // namespace qln
