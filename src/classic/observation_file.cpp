#include "classic/observation_file.hpp"

#include <cerrno>
#include <cstdlib>

namespace sightline {

namespace {

constexpr int kEndOfData = 0x1A;  // Ctrl-Z ends the data of a text file

// Byte source with the text-mode rules of the observation file.
struct TextReader {
  std::FILE* stream;
  bool atEnd = false;  // set by a read that met the end of the data (or failed)
  int error = 0;       // errno of a failed read
  bool lineHadBytes = false;  // the last line read consumed at least one byte

  int next() {
    while (!atEnd) {
      errno = 0;
      const int c = std::getc(stream);
      if (c == EOF || c == kEndOfData) {
        if (c == EOF && std::ferror(stream)) error = errno;
        atEnd = true;
        break;
      }
      if (c != '\r') {
        lineHadBytes = true;
        return c;
      }
    }
    return EOF;
  }

  // One line: up to its line feed, which is consumed; the text is its first
  // kLineLength characters up to the first NUL.
  std::string readLine() {
    std::string text;
    std::size_t kept = 0;
    bool nulSeen = false;
    lineHadBytes = false;
    for (int c = next(); c != EOF && c != '\n'; c = next()) {
      if (kept == kLineLength) continue;
      ++kept;
      if (c == '\0') nulSeen = true;
      if (!nulSeen) text.push_back(static_cast<char>(c));
    }
    return text;
  }
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double leadingNumber(std::string_view text) {
  std::size_t length = 0;
  return leadingNumber(text, length);
}

double leadingNumber(std::string_view text, std::size_t& length) {
  length = 0;
  std::size_t pos = 0;
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  const std::size_t start = pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  std::size_t digits = 0;
  while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = pos;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t e = pos + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && isDigit(text[e])) {
      while (e < text.size() && isDigit(text[e])) ++e;
      end = e;
    }
  }
  length = end;
  const std::string number(text.substr(start, end - start));
  return std::strtod(number.c_str(), nullptr);
}

void loadObservationFile(std::FILE* stream, ObservationFile& file) {
  TextReader reader{stream};
  for (int line = 1; !reader.atEnd; ++line) {
    const std::string text = reader.readLine();
    file.readError = reader.error;
    if (reader.lineHadBytes) file.lineCount = line;
    if (line >= kLineCount) return;  // line 32 is read and dropped
    file.lineText[static_cast<std::size_t>(line)] = text;
    if (line == 1) {
      file.viewPointName[0] = text.empty() ? "[POS1]" : text;
    } else if (line == 9) {
      file.viewPointName[1] = text.empty() ? "[POS2]" : text;
    } else {
      file.lineValue[static_cast<std::size_t>(line)] = leadingNumber(text);
    }
  }
}

}  // namespace sightline
