#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/language.hpp"
#include "dump/format_reader.hpp"
#include "gui/settings.hpp"

namespace qln::gui {

// The DDL dialog's eight boxes, in their order on the dialog.
inline constexpr std::array<std::uint8_t, 8> kDdlBoxBits = {kDdlTable,  kDdlIndex,   kDdlView,     kDdlSequence,
                                                            kDdlSynonym, kDdlPackage, kDdlFunction, kDdlProcedure};
// The kinds the checked boxes name; every kind when "all" is checked.
std::uint8_t ddl_kinds_of(const std::array<bool, 8>& boxes, bool all);

// The INSERT target databases, in the order of the dialog's buttons
// (Oracle, DB2, SQL Server, PostgreSQL, MySQL).
inline constexpr std::array<int, 5> kDbmsIds = {0, 3, 6, 4, 5};

// The binary-column dialog's four fields.
struct BinaryOutput {
  std::string table;
  std::string column;
  std::string file;  // pattern such as IMG_%ID%.jpg
  std::string dir;
};
BinaryOutput binary_output_of(const Settings& s);
// Stores the fields (the folder ending in "\" when it names one); -1 with
// nothing stored when the file pattern names a column longer than a name.
// `parts` receives the pattern's prefix, naming column and suffix.
int apply_binary_output(const BinaryOutput& b, Settings& s, ConvOptions& parts);

// The property dialog's seven texts: file kind, export mode, version, user,
// character set, NLS character set, creation date.
std::array<std::string, 7> property_texts(const DumpInfo& dump, Language lang);

// A numbered message as a dialog shows it: "ZUL-nnnnn: " and the text of
// `code` in `lang` with `text` in place of its %s.
std::string numbered_message(int code, std::string_view text, Language lang);

}  // namespace qln::gui
