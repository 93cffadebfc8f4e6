// The few descriptor calls the writer's shared part makes, from the platform's backend.
// Each returns -1 with errno set on failure.
#pragma once

#include <cstddef>

namespace fpu::files::detail {

long write_some(int fd, const void* data, std::size_t size);
int sync(int fd);
int close(int fd);

}  // namespace fpu::files::detail
