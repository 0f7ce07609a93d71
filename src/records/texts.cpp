#include "records/texts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace lab {

namespace {

std::string Escaped(std::string_view text) {
  std::string e;
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      e += '\\';
      e += static_cast<char>(c);
    } else if (c == '\n') {
      e += "\\n";
    } else if (c == '\t') {
      e += "\\t";
    } else if (c == '\r') {
      e += "\\r";
    } else if (c < 0x20 || c == 0x7f || c >= 0x80) {
      // Bytes above 0x7f too: a stray one may start a terminal control sequence.
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      e += hex;
    } else {
      e += static_cast<char>(c);
    }
  }
  return e;
}

}  // namespace

std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = b(i);
  std::size_t n = 0;
  unsigned cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xc2 && c <= 0xdf) n = 2, cp = c & 0x1f;
  else if (c >= 0xe0 && c <= 0xef) n = 3, cp = c & 0x0f;
  else if (c >= 0xf0 && c <= 0xf4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3f);
  }
  if ((n == 3 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) || (n == 4 && (cp < 0x10000 || cp > 0x10ffff)))
    return 0;
  return n;
}

std::string Echo(std::string_view text, std::size_t max) {
  if (text.size() > max) {
    const std::size_t keep = max / 2;
    return '"' + Escaped(text.substr(0, keep)) + "\"...(" + std::to_string(text.size()) +
           " bytes)...\"" + Escaped(text.substr(text.size() - keep)) + '"';
  }
  return '"' + Escaped(text) + '"';
}

std::string ShellWord(std::string_view text) {
  const auto plain = [](unsigned char c) {
    return std::isalnum(c) || std::string_view("_-+./=:,@%").find(static_cast<char>(c)) !=
                                  std::string_view::npos;
  };
  if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return std::string(text);
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string JsonString(std::string_view text) {
  std::string j = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      // A byte that is no part of UTF-8 (always 0x80 or above) as the lone
      // low surrogate U+DC80..U+DCFF, the way POSIX file names and arguments
      // are carried in Unicode text: read back, it is the byte again.
      char u[7];
      std::snprintf(u, sizeof u, "\\udc%02x", c);
      j += u;
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      j += '\\';
      j += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char u[7];
      std::snprintf(u, sizeof u, "\\u%04x", c);
      j += u;
    } else {
      j.append(text.substr(i, n));
    }
    i += n;
  }
  return j + '"';
}

std::string ShortestText(double value) {
  if (!std::isfinite(value)) return "";
  char buf[32];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

}  // namespace lab
