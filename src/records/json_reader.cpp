#include "records/json_reader.h"

#include <algorithm>

namespace lab {

namespace {

// Deeper than any record of ours, shallow enough for any stack.
constexpr int kDeepest = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document(std::string* error) {
    JsonValue v;
    if (Value(&v, 0) && (Blanks(), at_ == text_.size())) return v;
    if (why_.empty()) why_ = "text after the value";
    *error = "line " + std::to_string(1 + std::count(text_.begin(), text_.begin() +
                                                         static_cast<std::ptrdiff_t>(at_), '\n')) +
             ": " + why_;
    return std::nullopt;
  }

 private:
  bool Fail(const char* why) {
    if (why_.empty()) why_ = why;
    return false;
  }
  void Blanks() {
    while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
      ++at_;
  }
  bool Take(char c) {
    Blanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue* v, int depth) {
    if (depth > kDeepest) return Fail("nested too deeply");
    Blanks();
    if (at_ >= text_.size()) return Fail("the text ends where a value belongs");
    const char c = text_[at_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    using Kind = JsonValue::Kind;
    constexpr std::pair<std::string_view, Kind> kWords[] = {
        {"true", Kind::kTrue}, {"false", Kind::kFalse}, {"null", Kind::kNull}};
    for (const auto& [word, kind] : kWords) {
      if (c != word[0]) continue;
      v->kind = kind;
      return Word(word);
    }
    v->kind = c == '"' ? Kind::kString : Kind::kNumber;
    return c == '"' ? String(&v->text) : Number(&v->text);
  }

  bool Object(JsonValue* v, int depth) {
    v->kind = JsonValue::Kind::kObject;
    ++at_;
    if (Take('}')) return true;
    do {
      std::pair<std::string, JsonValue> member;
      Blanks();
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("a member's name must be a string");
      if (!String(&member.first)) return false;
      if (!Take(':')) return Fail("':' missing after a member's name");
      if (!Value(&member.second, depth + 1)) return false;
      v->members.push_back(std::move(member));
    } while (Take(','));
    return Take('}') || Fail("',' or '}' missing in an object");
  }

  bool Array(JsonValue* v, int depth) {
    v->kind = JsonValue::Kind::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      v->items.emplace_back();
      if (!Value(&v->items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']') || Fail("',' or ']' missing in an array");
  }

  bool Number(std::string* digits) {
    const std::size_t from = at_;
    auto run = [&] {
      const std::size_t start = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > start;
    };
    auto next_is = [&](std::string_view set) {
      return at_ < text_.size() && set.find(text_[at_]) != std::string_view::npos;
    };
    if (next_is("-")) ++at_;
    if (next_is("0")) {
      ++at_;
    } else if (!run()) {
      return Fail("not a JSON value");
    }
    if (next_is(".") && (++at_, !run())) return Fail("a number without digits after its point");
    if (next_is("eE")) {
      ++at_;
      if (next_is("+-")) ++at_;
      if (!run()) return Fail("a number without digits in its exponent");
    }
    *digits = std::string(text_.substr(from, at_ - from));
    return true;
  }

  // Four hex digits after "\u".
  bool Hex4(unsigned* code) {
    if (at_ + 4 > text_.size()) return Fail("\\u needs four hex digits");
    *code = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text_[at_++];
      const int d = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return Fail("\\u needs four hex digits");
      *code = *code * 16 + static_cast<unsigned>(d);
    }
    return true;
  }

  bool Escape(std::string* out) {
    if (at_ >= text_.size()) return Fail("the text ends inside a string");
    const char c = text_[at_++];
    const std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
    if (const auto k = from.find(c); k != std::string_view::npos) {
      *out += to[k];
      return true;
    }
    unsigned code = 0;
    if (c != 'u' || !Hex4(&code)) return Fail("an unknown escape in a string");
    if (code >= 0xdc80 && code <= 0xdcff) {
      // A byte of a text that was not UTF-8, as JsonString writes it.
      *out += static_cast<char>(code - 0xdc00);
      return true;
    }
    if (code >= 0xdc00 && code <= 0xdfff) return Fail("a lone surrogate in a string");
    if (code >= 0xd800 && code <= 0xdbff) {
      unsigned low = 0;
      if (text_.substr(at_, 2) != "\\u" || (at_ += 2, !Hex4(&low)) || low < 0xdc00 || low > 0xdfff)
        return Fail("a lone surrogate in a string");
      code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
    }
    AppendUtf8(code, out);
    return true;
  }

  static void AppendUtf8(unsigned code, std::string* out) {
    auto byte = [&](unsigned b) { *out += static_cast<char>(b); };
    if (code < 0x80) {
      byte(code);
    } else if (code < 0x800) {
      byte(0xc0 | (code >> 6)), byte(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
      byte(0xe0 | (code >> 12)), byte(0x80 | ((code >> 6) & 0x3f)), byte(0x80 | (code & 0x3f));
    } else {
      byte(0xf0 | (code >> 18)), byte(0x80 | ((code >> 12) & 0x3f));
      byte(0x80 | ((code >> 6) & 0x3f)), byte(0x80 | (code & 0x3f));
    }
  }

  bool String(std::string* out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return Fail("the text ends inside a string");
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        *out += c;
      } else if (!Escape(out)) {
        return false;
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string why_;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
  for (auto m = members.rbegin(); m != members.rend(); ++m) {
    if (m->first == name) return &m->second;
  }
  return nullptr;
}

std::optional<JsonValue> ReadJson(std::string_view text, std::string* error) {
  return Reader(text).Document(error);
}

}  // namespace lab
