#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace meterstation {

inline constexpr std::array<std::size_t, 8> kFieldWidths = {2, 3, 5, 5, 3, 5, 5, 5};
// Comma positions are 16-bit; a longer text cannot be split in memory.
inline constexpr std::size_t kMaxSplitLength = 32766;
// An eighth item below this means the processor left out the meter field.
inline constexpr double kShiftThreshold = 10000;
inline constexpr double kShiftFiller = 11111;

using Items = std::array<std::optional<double>, 8>;
using Fields = std::array<std::string, 8>;
using CommaPositions = std::array<std::int16_t, 7>;

// The eight fields of one reading and, where the parse way gives them, its
// eight numeric items (an item without value is nullopt).
struct ParsedReading {
  Fields f;
  Items item;
};

// Either the reading or the reason it could not be parsed.
struct ParseOutcome {
  bool ok = false;
  ParsedReading reading;
  std::string failure;
};

// In-memory split ("vista fix" ticked).
// Positions of the first seven commas (1-based; 0 where there is none). The
// text must not be longer than kMaxSplitLength.
CommaPositions commaPositions(const std::string& text);
// Cuts the text at its first seven commas; the pieces stay exactly as they
// stand. item1 and item2 carry the numeric values of the first two pieces so
// the alarm check works on this way too.
ParseOutcome splitInMemory(const std::string& text);

// Scratch-file parse ("vista fix" cleared).
// What the scratch file holds: the text and CR LF, twice.
std::string scratchFileText(const std::string& received);
// The NUL pass: the bytes with every NUL removed, to be written back from
// the start of the file (which keeps its length).
std::string withoutNuls(const std::string& bytes);
// Reads eight comma- or line-separated decimal items from the scratch file's
// text, going on across line ends; an empty item has no value.
ParseOutcome readItems(const std::string& fileText);
// When the eighth item is below 10000 the items move one place to the front
// and the eighth becomes 11111.
void applyShiftRule(Items& items);
// Each field is the item's sign-position text without its first character.
Fields fieldsFromItems(const Items& items);

// Fills every field shorter than its width with "0" on the left; a field at
// its width or longer is never changed.
void zeroFill(Fields& fields);

// Every CR and LF inside a field becomes a space. Two readings that came
// without silence between them reach the split as one text, and the line
// end between them would otherwise cut the set's database line, and the
// snapshot lines, in two.
void keepOnOneLine(Fields& fields);

}  // namespace meterstation
