// Finding the viewer's endpoint and connecting to it, refusing anything that is not a
// socket of this user's own viewer in a private folder.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

namespace fpu::viewer {

struct Connection {
  int fd = -1;
  dev_t dev = 0;  // the endpoint file it was made to
  ino_t ino = 0;
  int full_buffer = 0;  // the send buffer with the room kept for a last message
};

// found: connected; absent: no viewer, one may be started; refused: the endpoint is
// unusable now.
enum class Probe { found, absent, refused };

// Connects to `socket_path` in `dir`. On a refusal that will last, `why` says why (with
// `hint` after a folder problem). `before_endpoint`, when given, runs once the folder is
// known to be private and before the endpoint is looked at.
Probe probe_endpoint(const std::string& dir, const std::string& socket_path,
                     const std::string& hint, Connection* connection, std::string* why,
                     const std::function<void()>& before_endpoint = {});

// Sends one last message into the room every connection keeps free (its send buffer stops
// short of its full size), so that it goes in even behind a viewer that stopped reading.
bool send_last(const Connection& connection, const char* data, std::size_t size);

// True while `socket_path` is still the endpoint `connection` was made to, in a private `dir`.
bool endpoint_unchanged(const std::string& dir, const std::string& socket_path,
                        const Connection& connection);

}  // namespace fpu::viewer
