// qln-realrows: writes a classic dump of about N MB whose one table holds the
// rows of a table of a real dump, read with the engine and repeated, stored
// byte for byte as the real dump stores them.
//
//   qln-realrows SOURCE.dmp TABLE OUT.dmp MB
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dump/dump_file.hpp"
#include "dump/dump_header.hpp"
#include "dump/format_reader.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "engine/record_run.hpp"

namespace {

using Row = std::vector<std::optional<std::string>>;

// Keeps the definition and the raw values of one table.
class TableGrab : public qln::DumpVisitor {
 public:
  explicit TableGrab(std::string_view name) : name_(name) {}

  qln::Walk on_table(const qln::TableInfo& t) override {
    if (found_) return qln::Walk::kStop;
    want_ = t.name == name_ && t.definition && t.partition.empty();
    if (!want_) return qln::Walk::kSkipRows;
    found_ = true;
    definition = *t.definition;
    return qln::Walk::kContinue;
  }
  qln::Walk on_rows_begin(const qln::RowLayout&) override {
    return want_ ? qln::Walk::kContinue : qln::Walk::kSkipRows;
  }
  qln::Walk on_rows(const qln::RowBatch& batch) override {
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const auto bytes = batch.row(i);
      Row row;
      std::size_t at = 0;
      while (at + 2 <= bytes.size()) {
        const unsigned len = bytes[at] | (unsigned{bytes[at + 1]} << 8);
        at += 2;
        if (len == 0xFFFE) {
          row.emplace_back();
          continue;
        }
        row.emplace_back(std::string(reinterpret_cast<const char*>(bytes.data() + at), len));
        at += len;
      }
      rows.push_back(std::move(row));
    }
    return qln::Walk::kContinue;
  }

  bool found() const { return found_; }
  qln::TableDefinition definition;
  std::vector<Row> rows;

 private:
  std::string_view name_;
  bool found_ = false;
  bool want_ = false;
};

int usage() {
  std::fputs("usage: qln-realrows SOURCE.dmp TABLE OUT.dmp MB\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return usage();
  std::uint64_t mb = 0;
  const std::string_view mb_text = argv[4];
  if (std::from_chars(mb_text.data(), mb_text.data() + mb_text.size(), mb).ec != std::errc())
    return usage();

  qln::GlobalParams g;
  qln::ConvOptions o;
  o.exp_fname = {argv[1]};
  qln::DumpFile file;
  if (file.open(argv[1]) != 0 || qln::read_dmp_header(g, o) != 0) {
    std::fprintf(stderr, "qln-realrows: %s is no dump that can be read\n", argv[1]);
    return 1;
  }
  o.dump_sizes = {file.size()};
  auto reader = qln::make_format_reader(g, qln::dump_info_of(g, o), qln::ReadSettings{});
  TableGrab grab(argv[2]);
  if (!reader || !reader->read(grab).ok() || !grab.found() || grab.rows.empty()) {
    std::fprintf(stderr, "qln-realrows: no rows of %s read from %s\n", argv[2], argv[1]);
    return 1;
  }

  try {
    using namespace qln::dumpwriter;
    DumpOptions options;
    options.db_charset_id = static_cast<std::uint16_t>(g.db_charset);
    options.nchar_charset_id = static_cast<std::uint16_t>(g.nls_charset);
    DumpWriter w(argv[3], options);
    TableSpec shape;
    shape.name = grab.definition.table_name;
    for (const auto& c : grab.definition.columns) shape.columns.emplace_back(c.name, c.type_text);
    w.begin_table(shape);
    std::vector<std::vector<Cell>> cells;
    for (const Row& row : grab.rows) {
      auto& out = cells.emplace_back();
      for (const auto& v : row) out.push_back(v ? Cell::bytes(*v) : Cell::null());
    }
    const std::uint64_t target = mb << 20;
    while (w.bytes_written() < target)
      for (const auto& row : cells) w.add_row(row);
    w.end_table();
    const WriteStats stats = w.finish();
    std::printf("%s: %llu rows of %s, %llu bytes\n", argv[3],
                static_cast<unsigned long long>(stats.rows), argv[2],
                static_cast<unsigned long long>(stats.bytes));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qln-realrows: %s\n", e.what());
    return 1;
  }
  return 0;
}
