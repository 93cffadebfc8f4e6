// The command line every program reads the same way: one table of options per program, from
// which the parser, the usage line and the --help text all come.
//   -h, --help and -V, --version on every program; "--name value" and "--name=value";
//   numbers in decimal or 0x hexadecimal, with no sign (no option takes a negative value);
//   "--" ends the options. A usage error is one line naming the option, then the usage,
//   and exit status 2.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fpu::options {

enum class Value {
  none,    // a flag
  number,  // a whole number in [min, max]
  choice,  // one of `choices`
  text,    // any non-empty text; the program checks it further
};

struct Option {
  std::string_view name;        // "--scale"
  std::string_view value_name;  // "N", "FILE"; a choice with none lists its choices
  std::string_view help;        // one paragraph, unwrapped
  Value value = Value::none;
  std::uint64_t min = 0;
  std::uint64_t max = 0;
  std::span<const std::string_view> choices = {};
};

// Two columns of the help: a term (keys, a script line) and what it does.
struct HelpRow {
  std::string_view term;
  std::string_view text;
};

struct HelpSection {
  std::string_view title;  // "Keys"
  std::span<const HelpRow> rows;
  std::string_view after;  // a paragraph below the rows, or empty
};

struct Program {
  std::string_view name;     // "fpu-sample"
  std::string_view operand;  // "[SCRIPT]", or empty for none
  std::string_view about;    // what it does, one paragraph
  std::span<const Option> options;
  std::span<const HelpSection> sections = {};
  std::string_view closing = {};  // the last paragraph, or empty
};

// A console reads fixed columns wrapped at 80; a message box wraps each paragraph itself,
// so it gets one line per entry and no columns.
enum class HelpStyle { console, message_box };

struct Parsed {
  enum class Action { run, help, version, error } action = Action::run;
  // help: the help text; version: "NAME VERSION\n"; error: one line, then the usage.
  std::string message;
  int exit_code = 0;  // 0, or 2 for a usage error
  std::vector<std::string> operands;

  bool given(std::string_view name) const;
  // The value of a given option (as typed, or as the number read from it).
  const std::string& text(std::string_view name) const;
  std::uint64_t number(std::string_view name) const;

  // Filled by parse(), indexed like the program's options.
  std::span<const Option> table;
  std::vector<bool> present;
  std::vector<std::string> values;
  std::vector<std::uint64_t> numbers;
};

// `args` without the program's own name. The first --help or --version answers at once;
// anything wrong before it is an error. More operands than the program takes is an error.
Parsed parse(const Program& program, std::span<const std::string_view> args,
             HelpStyle style = HelpStyle::console);

// The result for an error the program finds in a value itself, worded as parse() words them.
Parsed usage_error(const Program& program, std::string_view line);

// The usage line, wrapped for a console.
std::string usage(const Program& program, HelpStyle style = HelpStyle::console);
std::string help(const Program& program, HelpStyle style);

// A number as options take it: decimal digits, or 0x and hex digits, in [min, max].
enum class NumberResult { ok, not_a_number, out_of_range };
NumberResult parse_number(std::string_view text, std::uint64_t min, std::uint64_t max,
                          std::uint64_t* value);

}  // namespace fpu::options
