#include "setup/field_names.h"

#include <utility>

namespace lab {

const char* const kFieldCaptions[kControlFields] = {
    "m1",      "m2",    "m3",      "dist 1", "dist 2", "t delta", "n stars", "cond",
    "v limit", "r limit", "test", "start",  "end",    "t d fact", "d alpha"};

const char* const kFieldNameList = "m1 m2 m3 dist1 dist2 start end tdfact dalpha";

namespace {

constexpr std::pair<const char*, int> kFieldNames[] = {
    {"m1", 0},   {"m2", 1},  {"m3", 2},      {"dist1", 3},  {"dist2", 4},
    {"start", 11}, {"end", 12}, {"tdfact", 13}, {"dalpha", 14}};

}  // namespace

int FieldOfName(const std::string& name) {
  for (const auto& [n, index] : kFieldNames) {
    if (name == n) return index;
  }
  return -1;
}

const char* NameOfField(int field) {
  for (const auto& [n, index] : kFieldNames) {
    if (field == index) return n;
  }
  return "?";
}

}  // namespace lab
