// What ended a test, and the word the CSV column "end" gives it. The words
// are listed here once; the CSV, merge, maps and the Python module read them
// from this list.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace encounter {

// In the order of kEndWords.
enum class End { kEscaped, kReceded, kAbsorbed, kPassages, kLimit, kNext, kNone };

inline constexpr int kEndCount = 7;
inline constexpr std::array<const char*, kEndCount> kEndWords = {
    "escaped",   // body 3 passed and left beyond its start distance
    "receded",   // a heavy body 3 drew away (pair regime)
    "absorbed",  // an absorption ended the encounter
    "passages",  // the set number of closest approaches (central-mass regime)
    "limit",     // the step limit pressed Next
    "next",      // Next was pressed
    "none",      // nothing ended it
};
static_assert(static_cast<int>(End::kNone) + 1 == kEndCount);

// The word of the CSV column "end": "escaped", "receded", ...
constexpr const char* EndName(End end) { return kEndWords[static_cast<int>(end)]; }

// The end a word names; nothing for any other text.
constexpr std::optional<End> EndOfName(std::string_view word) {
  for (int k = 0; k < kEndCount; ++k)
    if (word == kEndWords[k]) return static_cast<End>(k);
  return std::nullopt;
}

}  // namespace encounter
