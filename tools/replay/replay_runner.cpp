#include "tools/replay/replay_runner.h"

#include <ostream>
#include <vector>

#include "app/program.h"
#include "app/window.h"

namespace fpu {

namespace {

constexpr WindowHandle replay_window = 1;

using replay::Op;
using replay::Script;

class Runner {
 public:
  Runner(ReplayHost& host, Program& program, std::ostream& out, const ReplayOptions& options)
      : host_(host), out_(out), options_(options), program_(program) {
    program_.timer_noise.reseed(options.noise_seed);
  }

  void start() {
    clock_ = options_.start_ticks;
    host_.set_tick_count(clock_);
    start_program(program_, replay_window);
  }

  // Runs the script; false when the run had to stop (error_ set). Blocks are run with a
  // stack of their own, and a block whose body does nothing was given a count of 0 by the
  // reader, so only lines that do something take time. Line numbers are counted as the
  // commands pass, and restored when a block starts over.
  bool run(const Script& script) {
    struct Block {
      std::size_t begin;  // the first command of the body
      std::size_t end;    // its `end`
      std::size_t line;   // the repeat's line
      std::uint32_t left;
    };
    std::vector<Block> blocks;
    const std::size_t size = script.code.size();
    std::size_t i = 0;
    line_ = 0;
    while (i < size) {
      const auto op = static_cast<Op>(script.code[i]);
      if (op == Op::skip) {
        ++i;
        line_ += script.varint(i);
        continue;
      }
      ++line_;
      if (op == Op::end) {
        Block& block = blocks.back();
        if (--block.left != 0) {
          i = block.begin;
          line_ = block.line;
        } else {
          blocks.pop_back();
          ++i;
        }
        continue;
      }
      if (options_.max_steps != 0 && ++steps_ > options_.max_steps) {
        error_ = "line " + std::to_string(line_) + ": stopped at the step limit of " +
                 std::to_string(options_.max_steps) + " lines";
        return false;
      }
      if (op == Op::repeat) {
        const auto count = static_cast<std::uint32_t>(script.fixed(i + replay::repeat_count_at, 4));
        const auto end = static_cast<std::size_t>(script.fixed(i + replay::repeat_end_at, 8));
        if (count != 0) {
          blocks.push_back({i + replay::repeat_size, end, line_, count});
          i += replay::repeat_size;
        } else {
          line_ = static_cast<std::size_t>(script.fixed(i + replay::repeat_end_line_at, 8));
          i = end + 1;
        }
        continue;
      }
      if (!execute(op, script, ++i)) return false;
      if (std::string why; host_.output_failed(&why)) {
        error_ = "line " + std::to_string(line_) + ": " + masked(why);
        return false;
      }
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  // Runs the command whose arguments start at `at`, and moves `at` past them.
  bool execute(Op op, const Script& script, std::size_t& at) {
    const auto next = [&] { return static_cast<std::uint32_t>(script.varint(at)); };
    switch (op) {
      case Op::message: {
        const std::uint32_t code = next();
        const std::uint32_t wparam = next();
        deliver(code, wparam, next());
        return true;
      }
      case Op::key:
        deliver(msg::key_down, next(), 0);
        return true;
      case Op::mouse: {
        const std::uint32_t message = replay::mouse_message(script.code[at++]);
        const std::uint32_t flags = next();
        deliver(message, flags, next());
        return true;
      }
      case Op::tick:
      case Op::tick_at:
      case Op::tick_fixed:
        clock_ = op == Op::tick ? clock_ + timer_period_ms : next();
        host_.set_tick_count(clock_);
        if (op == Op::tick_fixed) {
          const auto b = static_cast<std::uint16_t>(next());
          const auto c = static_cast<std::uint16_t>(next());
          program_.timer_noise.force_next({b, c, static_cast<std::uint16_t>(next())});
        }
        deliver(msg::timer, timer_id, 0);
        program_.timer_noise.cancel_forced();
        return true;
      case Op::paint:
        deliver(msg::paint, 0, 0);
        return true;
      case Op::close:
        deliver(msg::close, 0, 0);
        return true;
      case Op::dump:
        out_ << dump_line(program_.scene);
        return true;
      case Op::start:  // read before the start-up
        next();
        return true;
      case Op::png: {
        std::string file(next(), '\0');
        for (char& c : file) c = static_cast<char>(script.code[at++]);
        return write_png(file);
      }
      case Op::skip:
      case Op::repeat:
      case Op::end:
        break;
    }
    return true;
  }

  void deliver(std::uint32_t message, std::uint32_t wparam, std::uint32_t lparam) {
    // A 32-bit lParam widens with its sign, as the platform widens it.
    window_proc(program_, replay_window, message, wparam, widen_lparam(lparam));
    if (program_.shut_down && !quit_reported_) {
      quit_reported_ = true;
      out_ << "{\"quit\":0}\n";
    }
  }

  bool write_png(const std::string& file) {
    if (!options_.allow_files) return true;
    // The picture may go to this process's own standard output: the lines before it first.
    out_.flush();
    std::string why;
    if (!host_.write_image(file, program_.draw.back_buffer, &why)) {
      // The host's message names the file; names can hold anything, terminals cannot.
      error_ = "line " + std::to_string(line_) + ": " + masked(why);
      return false;
    }
    return true;
  }

  ReplayHost& host_;
  std::ostream& out_;
  ReplayOptions options_;
  Program& program_;
  std::uint32_t clock_ = 0;
  std::uint64_t steps_ = 0;
  std::size_t line_ = 0;
  bool quit_reported_ = false;
  std::string error_;
};

}  // namespace

ReplayResult play_script(ReplayHost& host, Program& program, const replay::Script& script,
                         std::ostream& out, const ReplayOptions& options) {
  ReplayOptions run_options = options;
  if (script.start_ticks) run_options.start_ticks = *script.start_ticks;
  Runner runner(host, program, out, run_options);
  runner.start();
  const bool ran = runner.run(script);
  out.flush();
  if (!ran) return ReplayResult{1, runner.error()};
  return ReplayResult{};
}

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options) {
  // The whole script is checked before its first line runs: a bad script produces nothing
  // but its error.
  Script parsed;
  if (std::string error = replay::read_script(script, options.max_script_bytes, &parsed);
      !error.empty()) {
    return ReplayResult{error.starts_with("line ") ? 2 : 1, error};
  }
  Program program(host.platform(), trace);
  program.before_release = [&host](Program& p) { host.keep_last_frame(p.draw.back_buffer); };
  return play_script(host, program, parsed, out, options);
}

}  // namespace fpu
