// Stub: to be written.
#include "network/ecsv.hpp"

namespace sightline {

StationReadResult readEcsvStation(const std::string&, const std::string& fileName, const EcsvOptions&) {
  StationReadResult r;
  r.error = InputError{fileName, 0, 0, "", "ECSV files are not read yet"};
  return r;
}
EventReadResult readEcsvEvent(const std::vector<std::string>& files, const EcsvOptions&) {
  EventReadResult r;
  r.error = InputError{files.empty() ? "" : files[0], 0, 0, "", "ECSV files are not read yet"};
  return r;
}
bool looksLikeEcsv(const std::string& fileName, const std::string& text) {
  return (fileName.size() >= 5 && fileName.compare(fileName.size() - 5, 5, ".ecsv") == 0) || text.rfind("# %ECSV", 0) == 0;
}

}  // namespace sightline
