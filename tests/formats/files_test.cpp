#include "formats/files.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sightline {
namespace {

std::string freshFolder() {
  char name[] = "/tmp/sightline-files-XXXXXX";
  const char* made = ::mkdtemp(name);
  return made != nullptr ? made : "";
}

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WriteFileAtomically, ReplacesARegularFileWhole) {
  const std::string dir = freshFolder();
  const std::string path = dir + "/out.json";
  std::ofstream(path) << "old and longer content";
  std::string error;
  ASSERT_TRUE(writeFileAtomically(path, "new", error)) << error;
  EXPECT_EQ(contentOf(path), "new");
  std::remove(path.c_str());
  ::rmdir(dir.c_str());
}

// A pipe (like /dev/null or a terminal) is written through, never replaced by a
// file: replacing /dev/null with a regular file breaks every program on the machine.
TEST(WriteFileAtomically, WritesThroughAPipeWithoutReplacingIt) {
  const std::string dir = freshFolder();
  const std::string path = dir + "/pipe";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // A reader that does not wait for a writer; the text fits the pipe's buffer.
  const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string error;
  EXPECT_TRUE(writeFileAtomically(path, "through the pipe", error)) << error;
  char buffer[64] = {};
  const ssize_t n = ::read(reader, buffer, sizeof buffer);
  ::close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "through the pipe");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_TRUE(S_ISFIFO(after.st_mode)) << "the pipe was replaced by a file";
  std::remove(path.c_str());
  ::rmdir(dir.c_str());
}

TEST(WriteFileAtomically, AMissingFolderIsAnErrorNamingThePath) {
  std::string error;
  EXPECT_FALSE(writeFileAtomically("/nonexistent-folder/out.json", "x", error));
  EXPECT_NE(error.find("/nonexistent-folder/out.json: cannot write"), std::string::npos) << error;
}

}  // namespace
}  // namespace sightline
