// The GIF of the last frames a script paints: what the web page saves as "the last seconds"
// of a session, made by replaying the session headless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/replay/replay_options.h"
#include "tools/replay/script_grammar.h"

namespace fpu {

// Replays `script` twice (once to count its frames, once to keep the last `count`): the GIF
// `fpu-sample-replay --record` writes, from the frame `count` before the end. False with
// `error` set when the script fails or a frame cannot be stored.
bool last_frames_gif(const replay::Script& script, const ReplayOptions& options, std::size_t count,
                     int scale, std::vector<std::uint8_t>* gif, std::string* error);

}  // namespace fpu
