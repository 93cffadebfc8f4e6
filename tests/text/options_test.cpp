#include "text/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fpu_version.h"

namespace fpu::options {
namespace {

constexpr std::string_view modes[] = {"a", "b"};
constexpr Option table[] = {
    {"--flag", "", "a flag"},
    {"--n", "N", "a small number", Value::number, 1, 8},
    {"--big", "N", "any number", Value::number, 0, std::numeric_limits<std::uint64_t>::max()},
    {"--mode", "", "a choice", Value::choice, 0, 0, modes},
    {"--file", "FILE", "a name", Value::text},
};
constexpr HelpRow rows[] = {{"K", "a key"}};
constexpr HelpSection sections[] = {{"Keys", rows, "after the keys"}};
const Program program{"prog", "[IN]", "What it does.", table, sections, "The end."};

using Action = Parsed::Action;

TEST(Options, ParsesOrRefusesEachArgumentList) {
  const struct {
    std::vector<std::string_view> args;
    Action action;
    std::string first_line;  // of the message; for run, "NAME=VALUE" of one option or "IN=x"
  } cases[] = {
      {{}, Action::run, ""},
      {{"--n", "3"}, Action::run, "--n=3"},
      {{"--n=0x8"}, Action::run, "--n=8"},
      {{"--big", "18446744073709551615"}, Action::run, "--big=18446744073709551615"},
      {{"--big=0XfF"}, Action::run, "--big=255"},
      {{"--mode=b"}, Action::run, "--mode=b"},
      {{"--file", "-x"}, Action::run, "--file=-x"},  // a value may start with '-'
      {{"--flag", "in.txt"}, Action::run, "IN=in.txt"},
      {{"-"}, Action::run, "IN=-"},
      {{"--", "-h"}, Action::run, "IN=-h"},
      {{"--n", "3", "-h", "--bogus"},
       Action::help,
       "usage: prog [--flag] [--n N] [--big N] [--mode a|b] [--file FILE] [IN]"},
      {{"-V"}, Action::version, std::string("prog ") + version},
      {{"--version", "--n"}, Action::version, std::string("prog ") + version},
      {{"--bogus", "--help"}, Action::error, "prog: unknown option '--bogus'"},
      {{"-x"}, Action::error, "prog: unknown option '-x'"},
      {{"-flag"}, Action::error, "prog: unknown option '-flag'"},
      {{"--bogus=\x1b[2J"}, Action::error, "prog: unknown option '--bogus'"},
      {{"--\x9b"
        "31m"},
       Action::error,
       "prog: unknown option '--?31m'"},
      {{"a", "b"}, Action::error, "prog: unexpected argument 'b'"},
      {{"--n"}, Action::error, "prog: --n needs a value"},
      {{"--n="}, Action::error, "prog: --n takes a whole number from 1 to 8, not ''"},
      {{"--n", "9"}, Action::error, "prog: --n takes a whole number from 1 to 8, not '9'"},
      {{"--n", "0x"}, Action::error, "prog: --n takes a whole number from 1 to 8, not '0x'"},
      {{"--n", " 3"}, Action::error, "prog: --n takes a whole number from 1 to 8, not ' 3'"},
      {{"--n", "3.0"}, Action::error, "prog: --n takes a whole number from 1 to 8, not '3.0'"},
      // No option takes a sign, not even one that reads as zero.
      {{"--n", "+3"}, Action::error, "prog: --n takes a whole number from 1 to 8, not '+3'"},
      {{"--big", "-0"},
       Action::error,
       "prog: --big takes a whole number from 0 to 18446744073709551615, not '-0'"},
      {{"--big", "18446744073709551616"},
       Action::error,
       "prog: --big takes a whole number from 0 to 18446744073709551615, not "
       "'18446744073709551616'"},
      {{"--mode", "c"}, Action::error, "prog: --mode takes a or b, not 'c'"},
      {{"--file="}, Action::error, "prog: --file needs a value, not ''"},
      {{"--flag=1"}, Action::error, "prog: --flag takes no value"},
      {{"--n=1", "--n", "2"}, Action::error, "prog: --n given twice"},
      {{"--file", "\xc2\x9b\x1b"}, Action::run, "--file=\xc2\x9b\x1b"},  // kept as given
      {{"--mode", std::string_view("a\0", 2)},
       Action::error,
       "prog: --mode takes a or b, not 'a?'"},
  };
  for (const auto& c : cases) {
    const std::string shown = c.args.empty() ? "(none)" : std::string(c.args[0]);
    const Parsed parsed = parse(program, c.args);
    ASSERT_EQ(parsed.action, c.action) << shown << ": " << parsed.message;
    EXPECT_EQ(parsed.exit_code, c.action == Action::error ? 2 : 0) << shown;
    const std::string first = parsed.message.substr(0, parsed.message.find('\n'));
    if (c.action == Action::error) {
      // One line naming the argument, then the usage, and nothing else.
      EXPECT_EQ(parsed.message, c.first_line + "\n" + usage(program)) << shown;
    } else if (c.action != Action::run) {
      EXPECT_EQ(first, c.first_line) << shown;
    } else if (c.first_line.starts_with("IN=")) {
      ASSERT_EQ(parsed.operands.size(), 1u) << shown;
      EXPECT_EQ("IN=" + parsed.operands[0], c.first_line) << shown;
    } else if (!c.first_line.empty()) {
      const std::string name = c.first_line.substr(0, c.first_line.find('='));
      const std::string want = c.first_line.substr(name.size() + 1);
      ASSERT_TRUE(parsed.given(name)) << shown;
      const bool numeric = name == "--n" || name == "--big";
      EXPECT_EQ(numeric ? std::to_string(parsed.number(name)) : parsed.text(name), want) << shown;
      for (const Option& other : table) {
        if (other.name != name) {
          EXPECT_FALSE(parsed.given(other.name)) << shown << other.name;
        }
      }
    }
  }
}

TEST(Options, HelpFitsItsPlace) {
  const std::string console = help(program, HelpStyle::console);
  const std::string box = help(program, HelpStyle::message_box);
  for (const std::string& text : {console, box}) {
    for (std::string_view word :
         {"--flag", "--n N", "--mode a|b", "-h, --help", "-V, --version", "What it does.",
          "Keys:", "a key", "after the keys", "The end."}) {
      EXPECT_NE(text.find(word), std::string::npos) << word << " in\n" << text;
    }
  }
  // The console's lines fit 80 columns, and each option's text starts in one column.
  std::size_t start = 0;
  while (start < console.size()) {
    const std::size_t end = console.find('\n', start);
    EXPECT_LE(end - start, 80u) << console.substr(start, end - start);
    start = end + 1;
  }
  EXPECT_NE(console.find("\n  --flag         a flag\n"), std::string::npos) << console;
  EXPECT_NE(console.find("\n  -V, --version  the version\n"), std::string::npos) << console;
  // A message box wraps lines itself: no padding columns, one line per entry.
  EXPECT_NE(box.find("\n--flag: a flag\n"), std::string::npos) << box;
  EXPECT_EQ(box.find("  "), std::string::npos) << box;
  // The usage goes on under the first option.
  EXPECT_NE(console.find("[IN]\n            [-h|--help] [-V|--version]\n"), std::string::npos)
      << console;
}

TEST(Options, LongTextWrapsUnderItsColumn) {
  const std::string words(30, 'w');
  const std::string text = words + " " + words + " " + words;
  const Option long_table[] = {{"--x", "", text}};
  const Program p{"p", "", text, long_table};
  const std::string out = help(p, HelpStyle::console);
  // The about paragraph wraps at the margin; the option's text under its column.
  EXPECT_NE(out.find("\n" + words + " " + words + "\n" + words + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n  --x            " + words + " " + words + "\n" + std::string(17, ' ') +
                     words + "\n"),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace fpu::options
