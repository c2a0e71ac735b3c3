#pragma once

#include <string>

namespace meterstation {

inline constexpr int kHeaderWidth = 18;
inline constexpr int kSlotWidth = 41;
inline constexpr int kFirstReadingColumn = 20;
inline constexpr int kSlots = 16;
inline constexpr int kKeyWidth = 2;
inline constexpr int kMarkerWidth = 4;
inline constexpr std::size_t kDbRecordLength = 676;

// The set's database line: the snapshot with each reading moved to the
// slot of its meter number and the operator's marker in columns 1 to 4.
// Moves copy from the snapshot, never from the line being built, so they do
// not cascade; a reading whose meter field is not 01 to 16 stays where it
// arrived unless another reading claims that slot.
std::string buildDbRecord(const std::string& setSnapshot, const std::string& marker);

}  // namespace meterstation
