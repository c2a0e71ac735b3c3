// Both parse ways on arbitrary received texts, then the zero fill.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reading/reading_parser.h"

using namespace meterstation;

namespace {

void checkZeroFill(const Fields& before) {
  Fields after = before;
  zeroFill(after);
  for (std::size_t k = 0; k < after.size(); ++k) {
    FUZZ_CHECK(after[k].size() >= kFieldWidths[k], "field shorter than its width");
    if (before[k].size() >= kFieldWidths[k]) {
      FUZZ_CHECK(after[k] == before[k], "field at or above its width changed");
    } else {
      const std::size_t added = kFieldWidths[k] - before[k].size();
      FUZZ_CHECK(after[k] == std::string(added, '0') + before[k], "short field not zero-filled");
    }
  }
}

void checkSplit(const std::string& text) {
  const ParseOutcome outcome = splitInMemory(text);
  if (!outcome.ok) {
    FUZZ_CHECK(!outcome.failure.empty(), "rejection without reason");
    return;
  }
  const Fields& f = outcome.reading.f;
  // The pieces and the commas between them give the text back, less the two
  // characters that end the reading.
  std::string joined = f[0];
  for (std::size_t k = 1; k < f.size(); ++k) joined += "," + f[k];
  FUZZ_CHECK(text.size() >= joined.size() + 2, "pieces longer than the text");
  FUZZ_CHECK(text.compare(0, joined.size(), joined) == 0, "pieces do not match the text");
  FUZZ_CHECK(joined.size() + 2 == text.size(), "split lost characters after the last comma");
  for (std::size_t k = 0; k + 1 < f.size(); ++k) {
    FUZZ_CHECK(f[k].find(',') == std::string::npos, "piece before the seventh comma holds a comma");
  }
  const CommaPositions c = commaPositions(text);
  std::size_t at = 0;
  for (std::size_t k = 0; k < c.size(); ++k) {
    at += f[k].size() + 1;
    FUZZ_CHECK(static_cast<std::size_t>(c[k]) == at, "comma position does not match the pieces");
  }
  checkZeroFill(f);
}

void checkScratch(const std::string& text) {
  const std::string file = scratchFileText(text);
  FUZZ_CHECK(file == text + "\r\n" + text + "\r\n", "scratch file text");
  const std::string cleaned = withoutNuls(file);
  std::size_t nuls = 0;
  for (char ch : file) nuls += ch == '\0' ? 1 : 0;
  FUZZ_CHECK(cleaned.size() + nuls == file.size(), "NUL pass removed other bytes");
  FUZZ_CHECK(cleaned.find('\0') == std::string::npos, "NUL left after the NUL pass");
  ParseOutcome outcome = readItems(cleaned);
  if (!outcome.ok) {
    FUZZ_CHECK(!outcome.failure.empty(), "rejection without reason");
    return;
  }
  const Items original = outcome.reading.item;
  applyShiftRule(outcome.reading.item);
  const Items& items = outcome.reading.item;
  if (original[7].value_or(0) < kShiftThreshold) {
    for (std::size_t k = 0; k + 1 < items.size(); ++k) {
      FUZZ_CHECK(items[k] == original[k + 1], "shift did not move the items");
    }
    FUZZ_CHECK(items[7] == kShiftFiller, "shift did not fill the eighth item");
  } else {
    FUZZ_CHECK(items == original, "items moved without a shift");
  }
  checkZeroFill(fieldsFromItems(items));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkSplit(text);
  checkScratch(text);
  return 0;
}
