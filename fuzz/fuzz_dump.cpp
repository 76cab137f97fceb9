// Any bytes as a dump file (classic or Data Pump), through every job of the
// conversion run: each must end with success or a numbered message, never
// crash or hang, and a failed run leaves no file behind. The first byte
// chooses the job (its value modulo 10); with its top bit set, rows are
// written on a second thread as on a machine with several cores.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/conversion.hpp"
#include "fuzz_support.hpp"

namespace {

// Messages are looked at: every failure must come with a numbered one.
class Messages final : public qln::MessageSink {
 public:
  void message(qln::MessageCode code, std::string_view) override {
    if (code != qln::MessageCode::kNone) numbered = true;
  }
  bool numbered = false;
};

qln::Request request_for(unsigned job, const std::string& dump) {
  using qln::OutputKind;
  qln::Request r;
  r.volumes = {dump};
  // Starting a thread costs more than most inputs take to convert.
  r.threads = (job & 0x80) != 0 ? 2 : 1;
  switch (job % 10) {
    case 0: r.job = qln::Job::kListTables; break;
    case 1:
      r.job = qln::Job::kDescribeTable;
      r.table = qln::TableSelector::named("ORDERS");
      break;
    case 2:
      r.header = true;
      r.out_file = "out.csv";
      break;
    case 3: r.output = OutputKind::kCsvBatch; break;
    case 4:
      r.output = OutputKind::kInsert;
      r.dialect = qln::SqlDialect::kPostgreSql;
      r.out_file = "out.sql";
      break;
    case 5:
      r.output = OutputKind::kDdl;
      r.out_file = "out.ddl";
      break;
    case 6:
      r.output = OutputKind::kLobFiles;
      r.lob = {"NOTES", "BODY", ".", "doc_%NOTE_ID%.bin"};
      break;
    case 8:
      r.conditions = {{"ORDERS", "ORDER_ID > 3 AND (CITY LIKE 'O%' OR AMOUNT IS NULL)", true}};
      r.out_file = "where.csv";
      break;
    case 9:
      r.query = "SELECT CITY, ORDER_ID FROM ORDERS WHERE TO_CHAR(ORDER_DATE, 'YYYY') > '2015'";
      r.output = OutputKind::kInsert;
      break;
    default:
      r.preview = true;
      r.grep = "A";
      r.out_file = "out.txt";
      break;
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qln::fuzz;
  if (size < 1) return 0;
  silence_stdout();
  const std::string dump = write_scratch_file("in.dmp", as_text(data + 1, size - 1));
  const qln::Request request = request_for(data[0], dump);
  qln::Results results;
  Messages messages;
  const qln::Status s = qln::run_conversion(request, results, {&messages, {}, nullptr});
  if (!s.ok() && !messages.numbered) std::abort();  // a failure without a word
  if (!s.ok() && !results.partial) {
    // Nothing of a failed run may stay but the dump.
    for (const auto& entry : std::filesystem::directory_iterator(scratch_dir()))
      if (entry.path().filename() != "in.dmp") std::abort();
  }
  clear_scratch("in.dmp");
  return 0;
}
