#include "programs/linux/x11_errors.h"

#include <X11/Xlib.h>

namespace fpu {
namespace {

XErrorHandler previous_handler = nullptr;
bool ignoring = false;

int filter_error(Display* display, XErrorEvent* error) {
  if (ignoring || previous_handler == nullptr) return 0;
  return previous_handler(display, error);
}

}  // namespace

void install_x11_error_filter() {
  previous_handler = XSetErrorHandler(filter_error);
}

void ignore_x11_errors() {
  ignoring = true;
}

}  // namespace fpu
