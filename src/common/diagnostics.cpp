#include "common/diagnostics.hpp"

namespace sightline {

std::string InputError::text() const {
  std::string out = file;
  if (line > 0) {
    out += ":" + std::to_string(line);
    if (column > 0) out += ":" + std::to_string(column);
  }
  out += ": ";
  if (!path.empty()) out += path + ": ";
  out += message;
  return out;
}

}  // namespace sightline

namespace sightline {

std::vector<std::string> warningTexts(const std::vector<Warning>& warnings) {
  std::vector<std::string> texts;
  texts.reserve(warnings.size());
  for (const Warning& w : warnings) texts.push_back(w.text);
  return texts;
}

std::vector<std::string> warningCodes(const std::vector<Warning>& warnings) {
  std::vector<std::string> codes;
  codes.reserve(warnings.size());
  for (const Warning& w : warnings) codes.push_back(w.code);
  return codes;
}

}  // namespace sightline
