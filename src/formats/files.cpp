#include "formats/files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sightline {

namespace {

// Writes all of `content` to `fd`; false with errno set when it cannot.
bool writeAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes to something that is not a regular file (/dev/null, a terminal, a
// pipe) in place: renaming a temporary file over it would replace the device
// with a file, which for /dev/null breaks the whole machine.
bool writeInPlace(const std::string& path, const std::string& content, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  const bool written = writeAll(fd, content);
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    error = path + ": cannot write: " + std::strerror(!written ? writeErrno : errno);
    return false;
  }
  return true;
}

}  // namespace

std::optional<InputError> readInput(const std::string& path, NamedText& input) {
  const bool standardInput = path == "-";
  input.name = standardInput ? "<stdin>" : path;
  input.text.clear();
  std::FILE* stream = standardInput ? stdin : std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return InputError{path, 0, 0, "", std::string("cannot open: ") + std::strerror(errno)};
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) input.text.append(buffer, n);
  const bool failed = std::ferror(stream) != 0;
  const int readErrno = errno;
  if (!standardInput) std::fclose(stream);
  if (failed) return InputError{path, 0, 0, "", std::string("cannot read: ") + std::strerror(readErrno)};
  return std::nullopt;
}

std::optional<InputError> readInputs(const std::vector<std::string>& paths, std::vector<NamedText>& inputs) {
  inputs.assign(paths.size(), NamedText{});
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (auto error = readInput(paths[i], inputs[i])) return error;
  }
  return std::nullopt;
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
    return writeInPlace(path, content, error);
  }
  std::string temporary = path + ".XXXXXX";
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  temporary = name.data();
  const bool written = writeAll(fd, content);
  const int writeErrno = errno;
  // mkstemp makes the file readable by its owner only; give it the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    error = path + ": cannot write: " + std::strerror(!written ? writeErrno : errno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace sightline
