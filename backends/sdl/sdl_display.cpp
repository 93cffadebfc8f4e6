#include "backends/sdl/sdl_display.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/window.h"
#include "text/masked.h"

namespace fpu {
namespace {

const char* env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The value of one resource in the resource manager's "name:\tvalue" lines.
std::string_view resource(std::string_view resources, std::string_view name) {
  while (!resources.empty()) {
    const auto end = resources.find('\n');
    const std::string_view line = resources.substr(0, end);
    resources = end == std::string_view::npos ? std::string_view{} : resources.substr(end + 1);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && trimmed(line.substr(0, colon)) == name) {
      return trimmed(line.substr(colon + 1));
    }
  }
  return {};
}

}  // namespace

bool init_display_video(const char* program, const char* instead, std::string& message) {
  const char* x_display = env("DISPLAY");
  const char* wayland_display = env("WAYLAND_DISPLAY");
  std::string display;
  if (env("SDL_VIDEODRIVER") != nullptr) {
    display = std::string("SDL_VIDEODRIVER=") + env("SDL_VIDEODRIVER");
  } else if (x_display != nullptr) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland_display != nullptr ? "x11,wayland" : "x11");
    display = std::string("DISPLAY=") + x_display;
  } else if (wayland_display != nullptr) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
    display = std::string("WAYLAND_DISPLAY=") + wayland_display;
  }
  std::string reason;
  if (display.empty()) {
    reason = "DISPLAY is not set";
  } else if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    reason = "cannot open " + display + " (" + SDL_GetError() + ")";
  } else {
    return true;
  }
  // The variables' values are quoted masked: they come from whoever started the program.
  message = masked(std::string(program) + ": no display: " + reason +
                   "; run it under Xvfb, e.g. xvfb-run -s '-screen 0 1920x1080x24' " + program +
                   ", or " + instead);
  return false;
}

std::int32_t scale_from_settings(const char* gdk_scale, const char* x_resources) {
  if (gdk_scale != nullptr && gdk_scale[0] != '\0') {
    char* end = nullptr;
    const long scale = std::strtol(gdk_scale, &end, 10);
    if (*end == '\0' && scale >= 1) return integer_scale(static_cast<double>(scale));
  }
  if (x_resources == nullptr) return 1;
  const std::string dpi(resource(x_resources, "Xft.dpi"));
  if (dpi.empty()) return 1;
  char* end = nullptr;
  const double value = std::strtod(dpi.c_str(), &end);
  if (*end != '\0') return 1;
  return integer_scale(value / unscaled_dpi);
}

std::int32_t desktop_scale() {
  const char* gdk_scale = env("GDK_SCALE");
  const char* driver = SDL_GetCurrentVideoDriver();
  if (gdk_scale != nullptr || driver == nullptr || std::strcmp(driver, "x11") != 0) {
    return scale_from_settings(gdk_scale, nullptr);
  }
  // The resources as the server holds them now (xrdb -merge changes them).
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const std::int32_t scale = scale_from_settings(nullptr, XResourceManagerString(display));
  XCloseDisplay(display);
  return scale;
}

void show_without_activation(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
    Display* display = info.info.x11.display;
    const Window x_window = info.info.x11.window;
    // The convention of window managers (EWMH): a window whose user time is 0 is not given
    // the focus when it is mapped.
    const long no_user_time = 0;
    XChangeProperty(display, x_window, XInternAtom(display, "_NET_WM_USER_TIME", False),
                    XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&no_user_time), 1);
    // Mapped here rather than through SDL_ShowWindow, which without a window manager sets
    // the keyboard focus on the window it shows. SDL learns of the mapping from its events.
    XMapRaised(display, x_window);
    XFlush(display);
    return;
  }
  SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
  SDL_ShowWindow(window);
}

}  // namespace fpu
