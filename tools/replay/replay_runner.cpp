#include "tools/replay/replay_runner.h"

#include <ostream>
#include <vector>

#include "app/program.h"
#include "app/window.h"

namespace fpu {

namespace {

constexpr WindowHandle replay_window = 1;

using replay::Command;
using replay::Op;
using replay::Script;

class Runner {
 public:
  Runner(ReplayHost& host, TraceSink& trace, std::ostream& out, const ReplayOptions& options)
      : host_(host), out_(out), options_(options), program_(host.platform(), trace) {
    program_.timer_noise.reseed(options.noise_seed);
    program_.before_release = [this](Program& p) { host_.keep_last_frame(p.draw.back_buffer); };
  }

  void start() {
    clock_ = options_.start_ticks;
    host_.set_tick_count(clock_);
    start_program(program_, replay_window);
  }

  // Runs the script; false when the run had to stop (error_ set). Blocks are run with a
  // stack of their own, and a block whose body does nothing is passed over whatever its
  // count, so only lines that do something take time.
  bool run(const Script& script) {
    struct Block {
      std::size_t begin;
      std::size_t end;
      std::uint32_t left;
    };
    std::vector<Block> blocks;
    const std::vector<Command>& commands = script.commands;
    std::size_t i = 0;
    for (;;) {
      const std::size_t end = blocks.empty() ? commands.size() : blocks.back().end;
      if (i == end) {
        if (blocks.empty()) return true;
        Block& block = blocks.back();
        if (--block.left != 0) {
          i = block.begin;
        } else {
          blocks.pop_back();
        }
        continue;
      }
      const Command& cmd = commands[i];
      if (options_.max_steps != 0 && ++steps_ > options_.max_steps) {
        error_ = "line " + std::to_string(cmd.line) + ": stopped at the step limit of " +
                 std::to_string(options_.max_steps) + " lines";
        return false;
      }
      if (cmd.op == Op::repeat) {
        if (cmd.count != 0 && cmd.works) blocks.push_back({i + 1, cmd.body_end, cmd.count});
        i = cmd.count != 0 && cmd.works ? i + 1 : cmd.body_end;
        continue;
      }
      if (!execute(cmd, script)) return false;
      ++i;
    }
  }

  const std::string& error() const { return error_; }

 private:
  bool execute(const Command& cmd, const Script& script) {
    switch (cmd.op) {
      case Op::message:
        deliver(cmd.message, cmd.wparam, cmd.lparam);
        return true;
      case Op::tick:
        clock_ = cmd.has_time ? cmd.time : clock_ + 50;
        host_.set_tick_count(clock_);
        if (cmd.has_values) program_.timer_noise.force_next(cmd.values);
        deliver(msg::timer, timer_id, 0);
        program_.timer_noise.cancel_forced();
        return true;
      case Op::dump:
        out_ << dump_line(program_.scene);
        return true;
      case Op::png:
        return write_png(cmd, script.files[cmd.file]);
      case Op::repeat:
      case Op::end:
        return true;
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

  bool write_png(const Command& cmd, const std::string& file) {
    if (!options_.allow_files) return true;
    std::string why;
    if (!host_.write_image(file, program_.draw.back_buffer, &why)) {
      // The host's message names the file; names can hold anything, terminals cannot.
      error_ = "line " + std::to_string(cmd.line) + ": " + masked(why);
      return false;
    }
    return true;
  }

  ReplayHost& host_;
  std::ostream& out_;
  ReplayOptions options_;
  Program program_;
  std::uint32_t clock_ = 0;
  std::uint64_t steps_ = 0;
  bool quit_reported_ = false;
  std::string error_;
};

}  // namespace

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options) {
  // The whole script is checked before its first line runs: a bad script produces nothing
  // but its error.
  Script parsed;
  if (std::string error = replay::read_script(script, &parsed); !error.empty()) {
    return ReplayResult{error.starts_with("line ") ? 2 : 1, error};
  }
  Runner runner(host, trace, out, options);
  runner.start();
  const bool ran = runner.run(parsed);
  out.flush();
  if (!ran) return ReplayResult{1, runner.error()};
  return ReplayResult{};
}

}  // namespace fpu
