#include "files/file_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fpu::files {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Writer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("file-writer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
  }
  fs::path dir;
};

TEST_F(Writer, ReplacesWhereLinksLeadAndKeepsTheMode) {
  // Streamed in pieces larger and smaller than the writer's buffer.
  const std::string big(200000, 'x');
  const struct {
    const char* name;
    const char* link_to;  // null: no link
    bool exists;
    std::string text;
  } cases[] = {{"new.png", nullptr, false, "new"},
               {"old.png", nullptr, true, big + "tail"},
               {"link.png", "target.png", true, "through"}};
  for (const auto& c : cases) {
    const fs::path file = dir / (c.link_to != nullptr ? c.link_to : c.name);
    if (c.exists) {
      std::ofstream(file) << "old";
      fs::permissions(file, fs::perms(0640));
    }
    if (c.link_to != nullptr) fs::create_symlink(c.link_to, dir / c.name);
    FileWriter writer;
    ASSERT_TRUE(writer.open((dir / c.name).string())) << writer.message();
    for (std::size_t at = 0; at < c.text.size(); at += 70000) {
      ASSERT_TRUE(
          writer.write(c.text.data() + at, std::min<std::size_t>(70000, c.text.size() - at)));
    }
    ASSERT_TRUE(writer.commit()) << writer.message();
    EXPECT_EQ(read(file), c.text) << c.name;
    EXPECT_EQ(fs::is_symlink(dir / c.name), c.link_to != nullptr) << c.name;
    if (c.exists) {
      EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0640)) << c.name;
    }
  }
  EXPECT_EQ(entries(), 4u) << "no temporary file stays";
}

TEST_F(Writer, NamesTheStepThatFailedAndLeavesNothing) {
  std::ofstream(dir / "kept") << "kept";
  fs::create_symlink("missing", dir / "dangling");
  ::mkfifo((dir / "fifo").c_str(), 0600);
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {(dir / "a\x1b"
              "b")
           .string(),
       "name: the name holds a control character"},
      {std::string("a\0b", 3), "name: "},
      {dir.string(), "check: Is a directory"},
      {(dir / "dangling").string(), "check: it is a symbolic link to a missing file"},
      {(dir / "no folder" / "x").string(), "check: No such file or directory"},
      {(dir / "kept" / "x").string(), "check: Not a directory"},
      {(dir / "fifo").string(), "open: no process reads from the FIFO"},
      {"/dev/full", "write: No space left on device"},
  };
  for (const auto& c : cases) {
    FileWriter writer;
    const bool ok = writer.open(c.path) && writer.write("data", 4) && writer.commit();
    EXPECT_FALSE(ok) << c.reason;
    EXPECT_TRUE(writer.reason().starts_with(c.reason)) << writer.reason();
    EXPECT_EQ(writer.message().find('\x1b'), std::string::npos);
  }
  EXPECT_EQ(entries(), 3u);
}

TEST_F(Writer, NewNameNeverReplacesAndAbandonLeavesNothing) {
  std::ofstream(dir / "taken") << "first";
  FileWriter writer;
  ASSERT_TRUE(writer.open((dir / "taken").string(), Target::new_name));
  ASSERT_TRUE(writer.write("second", 6));
  EXPECT_FALSE(writer.commit());
  EXPECT_TRUE(writer.name_taken());
  ASSERT_TRUE(writer.commit_as((dir / "free").string())) << writer.message();
  EXPECT_EQ(read(dir / "taken"), "first");
  EXPECT_EQ(read(dir / "free"), "second");

  ASSERT_TRUE(writer.open((dir / "dropped").string()));
  ASSERT_TRUE(writer.write("x", 1));
  writer.abandon();
  EXPECT_EQ(entries(), 2u);
}

// Root stands in for the caller and nobody (65534) for the other user. A link is followed
// only when it is the caller's own, wherever it sits in the path.
TEST_F(Writer, FollowsOnlyTheCallersOwnLinksAnywhereInThePath) {
  if (::geteuid() != 0) GTEST_SKIP() << "SKIP: needs root to make links of another user";
  constexpr uid_t other = 65534;
  fs::create_directories(dir / "target");
  const struct {
    const char* folder;  // holds the link; made with this mode, owned by `folder_owner`
    fs::perms mode;
    uid_t folder_owner, link_owner;
    const char* written;  // through the link "l" in the folder
    bool followed;
  } cases[] = {
      {"sticky", fs::perms(01777), 0, other, "l/f", false},
      {"sticky", fs::perms(01777), 0, other, "l", false},
      {"theirs", fs::perms(0755), other, other, "l/f", false},
      {"theirs", fs::perms(0755), other, other, "l", false},
      {"mine", fs::perms(0755), 0, 0, "l/f", true},
      {"mine-in-sticky", fs::perms(01777), 0, 0, "l/f", true},
  };
  for (const auto& c : cases) {
    const fs::path folder = dir / c.folder;
    fs::create_directories(folder);
    fs::permissions(folder, c.mode);
    const bool to_folder = std::string(c.written) != "l";
    const fs::path target = to_folder ? dir / "target" : dir / "target" / "f";
    std::ofstream(dir / "target" / "f") << "kept";
    fs::remove(folder / "l");
    fs::create_symlink(target, folder / "l");
    ASSERT_EQ(::lchown((folder / "l").c_str(), c.link_owner, c.link_owner), 0);
    ASSERT_EQ(::chown(folder.c_str(), c.folder_owner, c.folder_owner), 0);
    FileWriter writer;
    const bool ok =
        writer.open((folder / c.written).string()) && writer.write("new", 3) && writer.commit();
    EXPECT_EQ(ok, c.followed) << c.folder << "/" << c.written << ": " << writer.message();
    EXPECT_EQ(read(dir / "target" / "f"), c.followed ? "new" : "kept") << c.folder;
    if (!c.followed) {
      EXPECT_NE(writer.reason().find("'l' is a symbolic link of another user (uid 65534)"),
                std::string::npos)
          << writer.reason();
    }
  }
}

// The temporary file has no name while it is written, so even SIGKILL leaves nothing.
TEST_F(Writer, AKilledWriterLeavesNoFile) {
  const int probe = ::open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe < 0) GTEST_SKIP() << "SKIP: this file system makes no unnamed files";
  ::close(probe);
  for (const Target target : {Target::replace, Target::new_name}) {
    const pid_t child = ::fork();
    if (child == 0) {
      FileWriter writer;
      if (writer.open((dir / "x").string(), target) && writer.write("partial", 7)) {
        ::raise(SIGKILL);
      }
      ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer could not be opened";
    EXPECT_EQ(entries(), 0u);
  }
}

}  // namespace
}  // namespace fpu::files
