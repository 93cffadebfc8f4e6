// Starting the viewer program detached from the caller: its own session, no descriptors or
// signal handlers of ours, and nobody needs to reap it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace fpu::viewer {

// Runs `program --dir endpoint_dir ARGUMENTS...`; returns the viewer's process id, -1 on
// failure.
pid_t spawn_viewer(const std::string& program, const std::string& endpoint_dir,
                   std::vector<std::string> arguments = {});

}  // namespace fpu::viewer
