#include "output/db_record.h"

#include "text/text_util.h"

namespace meterstation {

std::string buildDbRecord(const std::string& setSnapshot, const std::string& marker) {
  std::string record = setSnapshot + "  ";
  for (int j = 1; j <= kSlots; ++j) {
    const std::string key = (j < 10 ? "0" : "") + std::to_string(j);
    const int target = kFirstReadingColumn + kSlotWidth * (j - 1);
    for (int i = 1; i <= kSlots; ++i) {
      const int source = kFirstReadingColumn + kSlotWidth * (i - 1);
      if (piece(setSnapshot, source, kKeyWidth) == key) {
        overwrite(record, target, piece(setSnapshot, source, kSlotWidth));
      }
    }
  }
  overwrite(record, 1, piece(marker, 1, kMarkerWidth));
  return record;
}

}  // namespace meterstation
