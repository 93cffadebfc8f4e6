#include "tools/viewer/viewer_save.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fpu::viewer {
namespace {

namespace fs = std::filesystem;

class ViewerSave : public ::testing::Test {
 protected:
  ViewerSave() {
    char pattern[] = "/tmp/fpu-save-test-XXXXXX";
    root = ::mkdtemp(pattern);
  }
  ~ViewerSave() override { fs::remove_all(root); }

  std::size_t file_count() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(root), {}));
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string root;
};

TEST_F(ViewerSave, DocumentsFolderFollowsTheUserDirectories) {
  const std::string home = root + "/home";
  fs::create_directories(home + "/.config");
  fs::create_directories(home + "/Dokumente");
  fs::create_directories(root + "/elsewhere/config");
  fs::create_directories(root + "/docs");
  std::ofstream(home + "/.config/user-dirs.dirs")
      << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  std::ofstream(root + "/elsewhere/config/user-dirs.dirs")
      << "XDG_DOCUMENTS_DIR=\"" << root << "/docs\"\n";

  struct Case {
    std::map<std::string, std::string> env;
    std::string expected;
  };
  const Case cases[] = {
      {{{"HOME", home}}, home + "/Dokumente"},
      {{{"HOME", home}, {"XDG_DOCUMENTS_DIR", root + "/docs"}}, root + "/docs"},
      {{{"HOME", home}, {"XDG_DOCUMENTS_DIR", root + "/absent"}}, home + "/Dokumente"},
      {{{"HOME", home}, {"XDG_CONFIG_HOME", root + "/elsewhere/config"}}, root + "/docs"},
      // No such file, or a folder that does not exist: the home folder.
      {{{"HOME", home}, {"XDG_CONFIG_HOME", root + "/elsewhere"}}, home},
      {{{"HOME", root + "/elsewhere/config"}}, root + "/elsewhere/config"},
  };
  for (const auto& c : cases) {
    const auto lookup = [&](const char* name) -> const char* {
      const auto it = c.env.find(name);
      return it == c.env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(documents_dir(lookup), c.expected) << c.env.size() << " variables";
  }
}

TEST_F(ViewerSave, WritesTheWholeTextUnderADatedName) {
  const std::string text = "rot1 = 25\r\n[3 trace lines dropped]\r\nxopc = 62, ---- Z";
  std::tm when{};
  when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 8, when.tm_hour = 23, when.tm_min = 5,
  when.tm_sec = 9, when.tm_isdst = -1;
  const std::time_t t = std::mktime(&when);
  const SaveResult saved = save_text(text, root, t);
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(saved.path, root + "/fpu-trace-20261208-230509.txt");
  EXPECT_EQ(read(saved.path), text);
  EXPECT_EQ(file_count(), 1u) << "no temporary file is left behind";

  // A second save within the same second does not replace the first.
  const SaveResult again = save_text("other", root + "/", t);
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(again.path, root + "/fpu-trace-20261208-230509-2.txt");
  EXPECT_EQ(read(saved.path), text);
  EXPECT_EQ(read(again.path), "other");
}

TEST_F(ViewerSave, FailedWriteLeavesNoFileAndSaysWhy) {
  // A file size limit makes the write fail half-way, as a full disk would.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const SaveResult result = save_text(std::string(100000, 'x'), root, std::time(nullptr));
    const std::string report = (result.ok ? "saved " : "failed ") + result.error;
    (void)!::write(pipe_fds[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  char buffer[512] = {};
  const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer - 1);
  ::close(pipe_fds[0]);
  ::waitpid(child, nullptr, 0);
  const std::string report(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  EXPECT_TRUE(report.starts_with("failed ")) << report;
  EXPECT_NE(report.find("File too large"), std::string::npos) << report;
  EXPECT_EQ(file_count(), 0u) << "neither a partial file nor a temporary one stays";

  const SaveResult missing = save_text("text", root + "/no such folder", std::time(nullptr));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find(root + "/no such folder"), std::string::npos) << missing.error;
  EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;
}

TEST(ViewerSaveLineBreaks, EveryLineEndsWithOneLineFeedOnLinux) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"", ""},
      {"rot1 = 25", "rot1 = 25\n"},
      {"a\r\nb", "a\nb\n"},
      {"a\r\n", "a\n\n"},  // the empty last line is a line too
      {"\r\n\r\n", "\n\n\n"},
      {"cr\ralone\r\nx", "cr\ralone\nx\n"},  // a lone CR is a line's own text
  };
  for (const auto& c : cases) EXPECT_EQ(with_lf_line_breaks(c.text), c.expected) << c.text;
}

TEST(ViewerSaveLineBreaks, EveryLineEndsWithCrLfOnWindowsAndPathsKeepTheirSeparator) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } breaks[] = {
      {"", ""},
      {"rot1 = 25", "rot1 = 25\r\n"},
      {"a\r\nb", "a\r\nb\r\n"},
      {"a\r\n", "a\r\n\r\n"},
  };
  for (const auto& c : breaks) {
    EXPECT_EQ(with_crlf_line_breaks(c.text), c.expected) << c.text;
    // As many lines as the Linux form has.
    const std::string lf = with_lf_line_breaks(c.text);
    EXPECT_EQ(std::count(c.expected.begin(), c.expected.end(), '\n'),
              std::count(lf.begin(), lf.end(), '\n'))
        << c.text;
  }
  const struct {
    const char* dir;
    const char* path;
  } paths[] = {
      {"C:\\users\\u\\Documents", "C:\\users\\u\\Documents\\f.txt"},
      {"C:\\users\\u\\Documents\\", "C:\\users\\u\\Documents\\f.txt"},
      {"/home/u/Documents", "/home/u/Documents/f.txt"},
      {"/home/u/odd\\name", "/home/u/odd\\name/f.txt"},
      {".", "./f.txt"},
  };
  for (const auto& c : paths) EXPECT_EQ(path_in(c.dir, "f.txt"), c.path) << c.dir;
}

}  // namespace
}  // namespace fpu::viewer
