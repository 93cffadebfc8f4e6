#include "text/options.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "fpu_version.h"
#include "text/masked.h"

namespace fpu::options {

namespace {

constexpr Option help_option{"--help", "", "this text"};
constexpr Option version_option{"--version", "", "the version"};
constexpr std::size_t console_width = 80;

// Quoted input, at most 64 characters, its controls masked.
std::string shown(std::string_view text) {
  std::string out = masked(text.substr(0, 64));
  if (text.size() > 64) out += "...";
  return out;
}

std::string term(const Option& option) {
  std::string out(option.name);
  if (option.value == Value::none) return out;
  out += ' ';
  if (!option.value_name.empty()) return out + std::string(option.value_name);
  for (std::size_t i = 0; i < option.choices.size(); ++i) {
    if (i > 0) out += '|';
    out += option.choices[i];
  }
  return out;
}

std::string shown_bound(std::uint64_t max) {
  if (max == std::numeric_limits<std::uint64_t>::max()) return "2^64-1";
  if (max == std::numeric_limits<std::uint32_t>::max()) return "2^32-1";
  return std::to_string(max);
}

// "a, b or c"
std::string listed(std::span<const std::string_view> words) {
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += i + 1 == words.size() ? " or " : ", ";
    out += words[i];
  }
  return out;
}

// What a value must be, for the error that refuses one.
std::string wanted(const Option& option) {
  switch (option.value) {
    case Value::number:
      return "takes a whole number from " + std::to_string(option.min) + " to " +
             std::to_string(option.max);
    case Value::choice:
      return "takes " + listed(option.choices);
    case Value::text:
    case Value::none:
      break;
  }
  return "needs a value";
}

// `text` wrapped at the console's width, starting at `first_column`; every line after the
// first is indented by `indent`.
std::string wrapped(std::string_view text, std::size_t first_column, std::size_t indent) {
  std::string out;
  std::size_t column = first_column;
  bool line_start = true;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    if (!line_start && column + 1 + word.size() > console_width) {
      out += '\n' + std::string(indent, ' ');
      column = indent;
      line_start = true;
    }
    if (!line_start) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    line_start = false;
    if (space == std::string_view::npos) break;
    text.remove_prefix(space + 1);
  }
  return out;
}

void add_rows(std::string& out, std::span<const HelpRow> rows, HelpStyle style) {
  std::size_t width = 0;
  for (const HelpRow& row : rows) width = std::max(width, row.term.size());
  const std::size_t indent = 2 + width + 2;
  for (const HelpRow& row : rows) {
    if (style == HelpStyle::message_box) {
      out += std::string(row.term) + ": " + std::string(row.text) + "\n";
      continue;
    }
    std::string line = "  " + std::string(row.term);
    line.append(indent - line.size(), ' ');
    out += line + wrapped(row.text, indent, indent) + "\n";
  }
}

void add_paragraph(std::string& out, std::string_view text, HelpStyle style) {
  out += style == HelpStyle::console ? wrapped(text, 0, 0) : std::string(text);
  out += '\n';
}

}  // namespace

NumberResult parse_number(std::string_view text, std::uint64_t min, std::uint64_t max,
                          std::uint64_t* value) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return NumberResult::not_a_number;
  std::uint64_t v = 0;
  bool overflow = false;
  for (const char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return NumberResult::not_a_number;  // a sign too: no option takes one
    }
    if (v > (std::numeric_limits<std::uint64_t>::max() - digit) / base) overflow = true;
    v = v * base + digit;
  }
  if (overflow || v < min || v > max) return NumberResult::out_of_range;
  *value = v;
  return NumberResult::ok;
}

std::string usage(const Program& program, HelpStyle style) {
  // Each bracket is kept on one line (its spaces marked while wrapping); continued lines
  // start under the first option.
  static constexpr char kept_space = '\x01';
  const auto group = [](std::string text) {
    std::replace(text.begin(), text.end(), ' ', kept_space);
    return " [" + text + "]";
  };
  std::string out = "usage: " + std::string(program.name);
  for (const Option& option : program.options) out += group(term(option));
  if (!program.operand.empty()) out += " " + std::string(program.operand);
  out += " [-h|--help] [-V|--version]";
  if (style == HelpStyle::console) out = wrapped(out, 0, 8 + program.name.size());
  std::replace(out.begin(), out.end(), kept_space, ' ');
  return out + "\n";
}

std::string help(const Program& program, HelpStyle style) {
  std::string out = usage(program, style) + "\n";
  add_paragraph(out, program.about, style);
  std::vector<std::string> terms;
  std::vector<HelpRow> rows;
  for (const Option& option : program.options) terms.push_back(term(option));
  terms.push_back("-h, --help");
  terms.push_back("-V, --version");
  // A number's range is said from the table, so the text cannot go stale.
  std::vector<std::string> texts;
  for (const Option& option : program.options) {
    texts.emplace_back(option.help);
    if (option.value == Value::number) {
      texts.back() += " (" + std::to_string(option.min) + " to " + shown_bound(option.max) + ")";
    }
  }
  for (std::size_t i = 0; i < program.options.size(); ++i) rows.push_back({terms[i], texts[i]});
  rows.push_back({terms[terms.size() - 2], help_option.help});
  rows.push_back({terms.back(), version_option.help});
  out += "\nOptions:\n";
  add_rows(out, rows, style);
  for (const HelpSection& section : program.sections) {
    out += "\n" + std::string(section.title) + ":\n";
    add_rows(out, section.rows, style);
    if (!section.after.empty()) add_paragraph(out, section.after, style);
  }
  if (!program.closing.empty()) {
    out += '\n';
    add_paragraph(out, program.closing, style);
  }
  return out;
}

Parsed usage_error(const Program& program, std::string_view line) {
  Parsed result;
  result.action = Parsed::Action::error;
  result.message = std::string(program.name) + ": " + std::string(line) + "\n" + usage(program);
  result.exit_code = 2;
  return result;
}

Parsed parse(const Program& program, std::span<const std::string_view> args, HelpStyle style) {
  Parsed result;
  result.table = program.options;
  result.present.assign(program.options.size(), false);
  result.values.assign(program.options.size(), {});
  result.numbers.assign(program.options.size(), 0);
  const std::size_t operands_taken = program.operand.empty() ? 0 : 1;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool operand = options_ended || arg == "-" || !arg.starts_with("-");
    if (operand) {
      if (result.operands.size() == operands_taken) {
        return usage_error(program, "unexpected argument '" + shown(arg) + "'");
      }
      result.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      result.action = Parsed::Action::help;
      result.message = help(program, style);
      return result;
    }
    if (arg == "-V" || arg == "--version") {
      result.action = Parsed::Action::version;
      result.message = std::string(program.name) + " " + version + "\n";
      return result;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::size_t index = 0;
    while (index < program.options.size() && program.options[index].name != name) ++index;
    if (index == program.options.size() || !name.starts_with("--")) {
      return usage_error(program, "unknown option '" + shown(name) + "'");
    }
    const Option& option = program.options[index];
    if (result.present[index]) {
      return usage_error(program, std::string(name) + " given twice");
    }
    result.present[index] = true;
    if (option.value == Value::none) {
      if (equals != std::string_view::npos) {
        return usage_error(program, std::string(name) + " takes no value");
      }
      continue;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return usage_error(program, std::string(name) + " needs a value");
    }
    const auto refuse = [&] {
      return usage_error(program,
                         std::string(name) + " " + wanted(option) + ", not '" + shown(value) + "'");
    };
    switch (option.value) {
      case Value::number:
        if (parse_number(value, option.min, option.max, &result.numbers[index]) !=
            NumberResult::ok) {
          return refuse();
        }
        break;
      case Value::choice: {
        bool known = false;
        for (const std::string_view choice : option.choices) known = known || choice == value;
        if (!known) return refuse();
        break;
      }
      case Value::text:
        if (value.empty()) return refuse();
        break;
      case Value::none:
        break;
    }
    result.values[index] = std::string(value);
  }
  return result;
}

namespace {

std::size_t index_of(std::span<const Option> table, std::string_view name) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].name == name) return i;
  }
  std::abort();  // a name not in the program's own table: a fault of the program
}

}  // namespace

bool Parsed::given(std::string_view name) const {
  return present[index_of(table, name)];
}

const std::string& Parsed::text(std::string_view name) const {
  return values[index_of(table, name)];
}

std::uint64_t Parsed::number(std::string_view name) const {
  return numbers[index_of(table, name)];
}

}  // namespace fpu::options
