#include "records/svg_writer.h"

#include <cctype>
#include <charconv>

#include "records/texts.h"

namespace lab {

namespace {

// Coordinates to a hundredth of a pixel, without trailing zeros.
std::string Num(double v) {
  char buf[32];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  std::string s(buf, ec == std::errc() ? p : buf);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

std::string Hex(const RgbColour& c) {
  static const char* const kDigits = "0123456789abcdef";
  std::string s = "#";
  for (std::uint8_t v : c) {
    s += kDigits[v >> 4];
    s += kDigits[v & 15];
  }
  return s;
}

// Advance widths of DejaVu Sans in ems by class of character, each the
// widest of its class rounded up; the bold face is up to 15 % wider.
double CharacterWidth(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x80) return 1.0;  // the first byte of any other character: generous
  if (std::isdigit(u)) return 0.64;
  if (c == 'i' || c == 'j' || c == 'l' || c == 'I' || c == 'J') return 0.3;
  if (c == ' ' || c == '.' || c == ',' || c == ':' || c == ';' || c == '\'' || c == '|')
    return 0.34;
  if (c == 'f' || c == 't' || c == 'r' || c == '(' || c == ')' || c == '[' || c == ']' || c == '/' ||
      c == '-' || c == '!')
    return 0.43;
  if (c == 'm' || c == 'w') return 0.98;
  if (c == 'M' || c == 'W' || c == '%' || c == '@') return 1.0;
  if (std::isupper(u)) return 0.8;
  if (c == '<' || c == '>' || c == '=' || c == '+' || c == '~' || c == '&' || c == '#' || c == '^')
    return 0.84;
  return 0.64;
}

}  // namespace

double TextWidth(std::string_view text, double size, bool bold) {
  double ems = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text, i);
    ems += CharacterWidth(text[i]);
    i += n > 1 ? n : 1;
  }
  return ems * size * (bold ? 1.15 : 1.0);
}

std::vector<std::string> WrappedLines(std::string_view text, double size, bool bold, double width,
                                      std::string_view separator) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t found = text.find(separator, at);
    const std::size_t end = found == std::string_view::npos ? text.size() : found + separator.size();
    const std::string part(text.substr(at, end - at));
    at = end;
    if (!line.empty() && TextWidth(line + part, size, bold) > width + TextWidth(" ", size, bold)) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      lines.push_back(line);
      line.clear();
    }
    line += part;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string XmlEscaped(std::string_view text) {
  std::string s;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text, i);
    if (n != 1) {
      // A byte that is no part of UTF-8, and the two characters XML forbids
      // (U+FFFE, U+FFFF), are shown as the replacement character U+FFFD.
      const std::string_view character = text.substr(i, n);
      const bool shown = n > 1 && character != "\xef\xbf\xbe" && character != "\xef\xbf\xbf";
      s += shown ? character : "\xef\xbf\xbd";
      i += n > 1 ? n : 1;
      continue;
    }
    const char c = text[i++];
    switch (c) {
      case '&': s += "&amp;"; break;
      case '<': s += "&lt;"; break;
      case '>': s += "&gt;"; break;
      case '"': s += "&quot;"; break;
      default:
        // Control characters have no place in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') s += c;
    }
  }
  return s;
}

SvgWriter::SvgWriter(double width, double height, std::string_view title) {
  out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         Num(width) + "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(width) + ' ' +
         Num(height) + "\" font-family=\"DejaVu Sans, Arial, sans-serif\">\n<title>" +
         XmlEscaped(title) + "</title>\n";
  Rect(0, 0, width, height, {255, 255, 255});
}

void SvgWriter::Polyline(const std::vector<double>& xy, const RgbColour& stroke, double width) {
  if (xy.size() < 4) return;
  out_ += "<polyline fill=\"none\" stroke=\"" + Hex(stroke) + "\" stroke-width=\"" + Num(width) +
          "\" points=\"";
  for (std::size_t k = 0; k + 1 < xy.size(); k += 2)
    out_ += (k == 0 ? "" : " ") + Num(xy[k]) + ',' + Num(xy[k + 1]);
  out_ += "\"/>\n";
}

void SvgWriter::Circle(double x, double y, double r, const RgbColour& fill) {
  out_ += "<circle cx=\"" + Num(x) + "\" cy=\"" + Num(y) + "\" r=\"" + Num(r) + "\" fill=\"" +
          Hex(fill) + "\"/>\n";
}

void SvgWriter::Rect(double x, double y, double w, double h, const RgbColour& fill) {
  out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" +
          Num(h) + "\" fill=\"" + Hex(fill) + "\"/>\n";
}

void SvgWriter::Frame(double x, double y, double w, double h) {
  out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" +
          Num(h) + "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
}

void SvgWriter::Line(double x1, double y1, double x2, double y2) {
  out_ += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
          Num(y2) + "\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
}

void SvgWriter::Text(double x, double y, std::string_view text, double size, Anchor anchor,
                     bool up, bool bold) {
  static const char* const kAnchors[] = {"start", "middle", "end"};
  out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" + Num(size) +
          "\" text-anchor=\"" + kAnchors[static_cast<int>(anchor)] + '"';
  if (bold) out_ += " font-weight=\"bold\"";
  if (up) out_ += " transform=\"rotate(-90 " + Num(x) + ' ' + Num(y) + ")\"";
  out_ += '>' + XmlEscaped(text) + "</text>\n";
}

void SvgWriter::DefineHatching() {
  out_ +=
      "<defs><pattern id=\"hatching\" patternUnits=\"userSpaceOnUse\" width=\"6\" height=\"6\" "
      "patternTransform=\"rotate(45)\"><rect x=\"0\" y=\"0\" width=\"1.5\" height=\"6\" "
      "fill=\"#000000\"/><rect x=\"1.5\" y=\"0\" width=\"1.5\" height=\"6\" fill=\"#ffffff\"/>"
      "</pattern></defs>\n";
}

void SvgWriter::HatchedRect(double x, double y, double w, double h) {
  out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" +
          Num(h) + "\" fill=\"url(#hatching)\"/>\n";
}

void SvgWriter::BeginCrisp() { out_ += "<g shape-rendering=\"crispEdges\">\n"; }
void SvgWriter::End() { out_ += "</g>\n"; }

std::string SvgWriter::Finish() { return out_ + "</svg>\n"; }

}  // namespace lab
