// The places a user reads the keys and options (README, man pages, the web page) hold the
// rows of the tables the programs are made from, in their order: a key or option added to a
// table and nowhere else fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/demo_keys.h"
#include "text/options.h"
#include "tools/replay/command_line.h"
#include "tools/viewer/viewer_command_line.h"
#include "tools/viewer/viewer_model.h"

namespace fpu {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

std::string read(const std::string& relative) {
  std::ifstream in(std::string(FPU_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in.good()) << relative;
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

Rows table_rows(std::span<const options::HelpRow> rows) {
  Rows out;
  for (const auto& row : rows) out.emplace_back(row.term, row.text);
  return out;
}

// The rows of the first Markdown table after the heading `heading`.
Rows markdown_table(const std::string& text, const std::string& heading) {
  Rows rows;
  const auto lines = lines_of(text.substr(text.find("\n" + heading + "\n") + 1));
  bool in_table = false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].starts_with("#")) break;
    if (!lines[i].starts_with("|")) {
      if (in_table) break;
      continue;
    }
    in_table = true;
    const std::size_t middle = lines[i].find(" | ");
    const std::string term = trimmed(lines[i].substr(1, middle - 1));
    if (term == "key" || term.starts_with("---")) continue;  // the head and its rule
    rows.emplace_back(term, trimmed(lines[i].substr(middle + 3, lines[i].rfind('|') - middle - 3)));
  }
  return rows;
}

// The entries of a man page section: a term line (bold, its markers dropped) and its text on
// the indented lines below, joined.
Rows man_section(const std::string& page, const std::string& section) {
  Rows rows;
  const std::size_t start = page.find("\n# " + section + "\n");
  if (start == std::string::npos) return rows;
  for (const std::string& line : lines_of(page.substr(start + section.size() + 4))) {
    if (line.starts_with("# ")) break;
    if (line.starts_with("\t")) {
      if (!rows.empty()) {
        rows.back().second += (rows.back().second.empty() ? "" : " ") + trimmed(line);
      }
    } else if (line.starts_with("*")) {  // a paragraph of the section is no entry
      std::string term;
      for (char c : line) {
        if (c != '*') term += c;
      }
      rows.emplace_back(term, "");
    }
  }
  return rows;
}

// The rows of the web page's key table: <tr><td>TERM</td><td>TEXT</td></tr>, over lines.
Rows page_rows(const std::string& page) {
  Rows rows;
  const std::size_t start = page.find("<details id=\"keys\"");
  const std::size_t end = page.find("</details>", start);
  std::string text = page.substr(start, end - start);
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  const auto cell = [&text](std::size_t& at) {
    const std::size_t open = text.find("<td>", at) + 4;
    at = text.find("</td>", open);
    std::string inner = trimmed(text.substr(open, at - open));
    for (std::size_t p; (p = inner.find("  ")) != std::string::npos;) inner.erase(p, 1);
    return inner;
  };
  for (std::size_t at = text.find("<tr>"); at != std::string::npos; at = text.find("<tr>", at)) {
    std::string term = cell(at);
    std::string does = cell(at);
    rows.emplace_back(term, does);
  }
  return rows;
}

TEST(Docs, KeyTablesHoldTheDemosKeys) {
  Rows keys_and_mouse = table_rows(demo_keys);
  const Rows mouse = table_rows(demo_mouse);
  keys_and_mouse.insert(keys_and_mouse.end(), mouse.begin(), mouse.end());
  EXPECT_EQ(markdown_table(read("README.md"), "## Using it"), keys_and_mouse) << "README.md";
  const std::string man = read("packaging/fpu-sample.1.scd");
  EXPECT_EQ(man_section(man, "KEYS"), table_rows(demo_keys)) << "fpu-sample(1) KEYS";
  EXPECT_EQ(man_section(man, "MOUSE"), mouse) << "fpu-sample(1) MOUSE";
  EXPECT_EQ(page_rows(read("backends/web/shell.html")), keys_and_mouse) << "shell.html";
  // The Windows packages' README.txt, made from the table at configure time.
  std::ifstream in(std::string(FPU_BINARY_DIR) + "/packaging/README.txt", std::ios::binary);
  Rows readme;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("  ")) continue;
    if (line.ends_with('\r')) line.pop_back();
    const std::size_t colon = line.find(": ");
    readme.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
  }
  EXPECT_EQ(readme, keys_and_mouse) << "README.txt";
}

// As Markdown rows, for a failure message that says what to paste.
std::string markdown(const Rows& rows) {
  std::string out;
  for (const auto& [term, text] : rows) out += "| " + term + " | " + text + " |\n";
  return out;
}

TEST(Docs, ReadmeAndManPageHoldTheViewersKeyList) {
  Rows keys;
  for (const viewer::KeyHelp& key : viewer::ViewerModel::key_list()) {
    keys.emplace_back(key.keys, key.does);
  }
  EXPECT_EQ(markdown_table(read("README.md"), "## The trace viewer"), keys)
      << "README.md's viewer table should read:\n"
      << markdown(keys);
  EXPECT_EQ(man_section(read("packaging/fpu-trace-viewer.1.scd"), "KEYS"), keys)
      << "fpu-trace-viewer(1) KEYS";
}

// Every option of the program's table, and -h and -V, in the man page's OPTIONS and
// SYNOPSIS; none there that the table lacks.
void expect_options_documented(const options::Program& program, const std::string& page_path) {
  const std::string page = read(page_path);
  std::set<std::string> want = {"-h, --help", "-V, --version"};
  for (const options::Option& option : program.options) want.insert(std::string(option.name));
  std::set<std::string> documented;
  for (const auto& [term, text] : man_section(page, "OPTIONS")) {
    EXPECT_FALSE(text.empty()) << page_path << ": " << term;
    documented.insert(
        term.starts_with("-h") || term.starts_with("-V") ? term : term.substr(0, term.find(' ')));
  }
  EXPECT_EQ(documented, want) << page_path;
  const auto synopsis = man_section(page, "SYNOPSIS");
  std::string synopsis_text;
  for (const auto& row : synopsis) synopsis_text += row.first + "\n";
  for (const options::Option& option : program.options) {
    EXPECT_NE(synopsis_text.find(option.name), std::string::npos) << page_path << option.name;
  }
  EXPECT_NE(synopsis_text.find("--help"), std::string::npos) << page_path;
  EXPECT_NE(synopsis_text.find("--version"), std::string::npos) << page_path;
}

TEST(Docs, ManPagesListEveryOption) {
  expect_options_documented(demo_program(DemoPlatform::gnu_linux), "packaging/fpu-sample.1.scd");
  expect_options_documented(replay_program("fpu-sample-replay"),
                            "packaging/fpu-sample-replay.1.scd");
  expect_options_documented(viewer::viewer_program(viewer::ViewerPlatform::gnu_linux),
                            "packaging/fpu-trace-viewer.1.scd");
}

TEST(Docs, ParsersFindWhatTheyShouldAndNothingElse) {
  // The readers above, on small texts: a row missing from a table must show as a difference.
  EXPECT_EQ(
      markdown_table("## H\n\n| key | does |\n|---|---|\n| A | a |\n| B C | b, c |\n\nx\n", "## H"),
      (Rows{{"A", "a"}, {"B C", "b, c"}}));
  EXPECT_EQ(
      man_section("x\n# KEYS\n\nWords.\n\n*A* / *B*\n\tone\n\ttwo\n\n# NEXT\n\n*C*\n\tc\n", "KEYS"),
      (Rows{{"A / B", "one two"}}));
  EXPECT_EQ(page_rows("<details id=\"keys\"><table>\n<tr><td>A</td><td>one\n  two</td></tr>\n"
                      "<tr><td>B</td><td>b</td></tr></table></details>"),
            (Rows{{"A", "one two"}, {"B", "b"}}));
}

}  // namespace
}  // namespace fpu
