// libFuzzer target: arbitrary bytes as a results file of sightline batch, through
// the summary and its three layouts. Whatever the bytes: no crash, every row has
// all the columns, and every problem names the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/summary.hpp"
#include "formats/summary_writers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sightline::SummaryResult r = sightline::summariseRecords({{"fuzz.jsonl", text}}, {});
  for (const std::string& problem : r.problems)
    if (problem.rfind("fuzz.jsonl:", 0) != 0) std::abort();
  for (const sightline::SummaryRow& row : r.rows)
    if (row.cells.size() != sightline::summaryColumns().size()) std::abort();
  std::ostringstream out;
  sightline::writeSummaryGmn(out, r.rows, 0.0);
  sightline::writeSummaryCsv(out, r.rows);
  sightline::writeSummaryEcsv(out, r.rows);
  return 0;
}
