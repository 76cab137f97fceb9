#include "engine/table_output.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/platform.hpp"
#include "engine/output_file.hpp"
#include "values/charset.hpp"

namespace qln {

int close_table_output(GlobalParams& g, ConvOptions& o) {
  if (o.table_out == nullptr) return 0;
  std::FILE* f = o.table_out;
  o.table_out = nullptr;
  if (g.out_stream == f) g.out_stream = stdout;
  if (std::fclose(f) != 0) return fail(g, MessageCode::kFileWrite, o.out_fname.empty() ? "" : o.out_fname.back());
  return 0;
}

int open_table_output(GlobalParams& g, ConvOptions& o, std::string_view table_name) {
  if (g.run_mode != 41 && g.run_mode != 42) return 0;
  if (o.read_step != 0 || o.output_mode == kOutInsert || o.output_mode == kOutDdl) return 0;
  // One output for everything: standard output or the file the front end
  // opened. A preview, a keyword search or a run without an output path
  // writes there.
  if ((is_on(o.is_preview) || is_on(o.is_grep) || o.log_fname.empty()) &&
      o.output_mode != kOutCsvBatch)
    return 0;
  bool matched = false;
  for (TableCondition& c : o.where_statement) {
    if (equals_nocase(c.table_name, table_name)) {
      c.not_found = 0;
      matched = true;
      break;
    }
  }
  if (o.output_mode == kOutLobFiles) return 0;
  if (!matched && is_on(o.is_condition) && o.output_mode != kOutCsvBatch) return 0;

  std::string path;
  std::size_t cut = o.log_fname.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0) {
    path.assign(o.log_fname, 0, cut);
    path.push_back(path_separator());
  }
  // A table name is data from the dump: it must not lead out of the folder.
  for (char c : table_name) path.push_back(c == '/' || c == '\\' || c == '\0' ? '_' : c);
  // Tables of the same name in two schemas must not overwrite each other.
  std::string base = path;
  path.append(".csv");
  for (int n = 2; std::find(o.out_fname.begin(), o.out_fname.end(), path) != o.out_fname.end();
       ++n) {
    path = base + "_" + std::to_string(n) + ".csv";
  }

  if (close_table_output(g, o) != 0) return -1;
  std::FILE* f = open_output_file(o, path);
  if (f == nullptr) {
    g.out_stream = stdout;
    return fail(g, MessageCode::kOpenFile, path);
  }
  g.out_stream = f;
  o.table_out = f;
  if (is_on(o.is_output_bom) && output_charset(o) == kCharsetUtf8 && write_utf8_bom(f) != 0)
    return fail(g, MessageCode::kFileWrite, path);
  return 0;
}

}  // namespace qln
