// A small reader of JSON text (RFC 8259), enough to read back the record a
// run leaves with --meta: objects, arrays, strings with every escape,
// numbers kept as their text, true, false and null.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lab {

struct JsonValue {
  enum class Kind { kNull, kFalse, kTrue, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  std::string text;                                        // a string (UTF-8), a number's digits
  std::vector<JsonValue> items;                            // an array's
  std::vector<std::pair<std::string, JsonValue>> members;  // an object's, in order

  // The member of that name (the last, if named twice), or nullptr.
  const JsonValue* Member(std::string_view name) const;
};

// The value the whole text holds; on a mistake nothing, with the line and
// what is wrong in *error.
std::optional<JsonValue> ReadJson(std::string_view text, std::string* error);

}  // namespace lab
