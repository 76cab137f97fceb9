#include "cli/jobs.hpp"

#include <cstdio>
#include <string_view>

#include "core/messages.hpp"
#include "dump/classic_reader.hpp"
#include "dump/dump_header.hpp"
#include "dump/properties.hpp"
#include "output/charset.hpp"

namespace qln {

namespace {

constexpr int kMsgNotSupported = 2009;
constexpr int kMsgDumpFormat = 3102;
constexpr int kMsgTableNotFound = 3103;
constexpr int kMsgWriteError = 3133;
constexpr int kMsgProcessing = 3900;
constexpr int kReaderStop = -11;
constexpr const char* kFirstTable = "DUAL";

// Widths of the description's name fields; a longer name still gets one
// blank before the next field.
constexpr std::size_t kNameWidth = 30;
constexpr std::size_t kTypeWidth = 17;

// The header reader queues its own message (3100, 11 or another).
JobStatus check_dump_header(RunContext& ctx) {
  return read_dmp_header(ctx.g, ctx.o) == 0 ? JobStatus::kDone : JobStatus::kFailed;
}

JobStatus show_properties(RunContext& ctx) {
  if (print_properties(ctx.g, ctx.o, stdout) == 0) return JobStatus::kDone;
  fail(ctx.g, kMsgProcessing);
  return JobStatus::kFailed;
}

JobStatus refuse(RunContext& ctx, std::string_view what) {
  fail(ctx.g, kMsgNotSupported, utf8_to_os_charset(ctx.g.os_charset, what));
  return JobStatus::kFailed;
}

// What a reader's result code means for the job. A failure the reader did
// not put into words still ends with a message.
JobStatus reader_status(RunContext& ctx, int rc) {
  GlobalParams& g = ctx.g;
  if (rc == kReaderStop) {
    // The program ends at once, but the reason must reach the user.
    flush_messages(g, g.err_stream);
    return JobStatus::kAbort;
  }
  if (rc < 0) {
    if (g.message_count == 0) fail(g, kMsgProcessing);
    return JobStatus::kFailed;
  }
  if (g.zulcode == kMsgTableNotFound) {
    fail(g, kMsgTableNotFound, ctx.o.table_id);
    return JobStatus::kFailed;
  }
  if (g.zulcode != 0) {
    fail(g, kMsgProcessing);
    return JobStatus::kFailed;
  }
  return JobStatus::kDone;
}

JobStatus run_reader(RunContext& ctx) {
  switch (ctx.o.dump_type) {
    case kDumpConventional:
    case kDumpDirect: {
      ClassicReadResult result;
      return reader_status(ctx, read_dmp(ctx.g, ctx.o, result));
    }
    case kDumpDataPump:
      return refuse(ctx, "データポンプ");
    default:
      fail(ctx.g, kMsgDumpFormat);
      return JobStatus::kFailed;
  }
}

// Ends the output of a job that succeeded: OUT_FILE is closed, standard
// output flushed. Bytes that could not be written make the job fail (and
// OUT_FILE go) instead of passing for a complete output.
JobStatus finish_output(RunContext& ctx) {
  bool written = true;
  if (ctx.out_file) {
    std::FILE* f = ctx.out_file.release();
    if (ctx.g.out_stream == f) ctx.g.out_stream = stdout;
    written = std::fflush(f) == 0 && std::ferror(f) == 0;
    written = std::fclose(f) == 0 && written;
    if (!written) fail(ctx.g, kMsgWriteError, ctx.o.out_file);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    fail(ctx.g, kMsgWriteError, "stdout");
    written = false;
  }
  return written ? JobStatus::kDone : JobStatus::kFailed;
}

JobStatus write_ddl(RunContext& ctx) {
  if (open_out_file(ctx) != 0) return JobStatus::kFailed;
  ctx.o.read_step = 0;
  const JobStatus s = run_reader(ctx);
  return s == JobStatus::kDone ? finish_output(ctx) : s;
}

JobStatus list_tables(RunContext& ctx) {
  ctx.o.read_step = 2;
  const JobStatus s = run_reader(ctx);
  return s == JobStatus::kDone ? finish_output(ctx) : s;
}

JobStatus describe_table(RunContext& ctx) {
  // Table conditions without a table name: nothing to describe but the list.
  if (ctx.o.table_id.empty()) return list_tables(ctx);
  ctx.o.read_step = 1;
  const JobStatus s = run_reader(ctx);
  if (s != JobStatus::kDone) return s;
  const std::string text = format_table_definition(ctx.g, ctx.o.table);
  std::fwrite(text.data(), 1, text.size(), ctx.g.out_stream);
  return finish_output(ctx);
}

JobStatus convert_rows(RunContext& ctx) {
  ConvOptions& o = ctx.o;
  // Row conditions are not evaluated by this build: refusing them is better
  // than converting rows the user asked to leave out.
  if (!o.query.empty()) return refuse(ctx, "QUERY");
  if (is_on(o.is_condition)) return refuse(ctx, "WHERE");
  if (open_out_file(ctx) != 0) return JobStatus::kFailed;
  o.row_format = o.output_mode == kOutInsert ? 2 : 1;
  // Column files take every byte; the text output stays empty, without a BOM.
  if (o.output_mode == kOutLobFiles) o.is_output_bom = kNo;
  // The reader converts the table it selects; a column-file target names it.
  if (!o.lob_target_col_name.empty() && !o.lob_table_name.empty() && o.table_id == kFirstTable)
    o.table_id = o.lob_table_name;
  // The keyword is typed in the user's set; the rows it is looked for in
  // are already in the output set.
  if (is_on(o.is_grep)) {
    CharsetConverter cv;
    convert_charset(cv, ctx.g.os_charset, output_charset(o), o.grep_text);
  }
  o.read_step = 0;
  const JobStatus s = run_reader(ctx);
  return s == JobStatus::kDone ? finish_output(ctx) : s;
}

void append_padded(std::string& out, std::string_view s, std::size_t width) {
  out += s;
  if (s.size() < width) out.append(width - s.size(), ' ');
  out += ' ';
}

}  // namespace

std::string format_table_definition(const GlobalParams& g, const TableDefinition& table) {
  CharsetConverter cv;
  std::string text;
  if (!table.columns.empty()) {
    text += utf8_to_os_charset(cv, g.os_charset, " カラム                        型\n");
    text += "------------------------------ -----------------\n";
    for (const ColumnDef& c : table.columns) {
      text += ' ';
      append_padded(text, c.name, kNameWidth);
      if (c.rest.empty()) {
        text += c.type_text;
      } else {
        append_padded(text, c.type_text, kTypeWidth);
        text += c.rest;
      }
      text += '\n';
    }
    text += '\n';
  }
  if (!table.indexes.empty()) {
    text += utf8_to_os_charset(cv, g.os_charset, "     索引名                         項目名\n");
    text += "     ------------------------------ ------------------------------\n";
    for (const IndexDef& index : table.indexes) {
      const std::size_t lines = index.columns.empty() ? 1 : index.columns.size();
      for (std::size_t i = 0; i < lines; ++i) {
        text += "     ";
        append_padded(text, i == 0 ? std::string_view(index.name) : std::string_view(), kNameWidth);
        if (i < index.columns.size()) text += index.columns[i];
        text += '\n';
      }
    }
  }
  return text;
}

Jobs default_jobs() {
  return Jobs{check_dump_header, show_properties, write_ddl, list_tables, describe_table, convert_rows};
}

}  // namespace qln
