// Sets the X server's resource database (the root window's RESOURCE_MANAGER property), as
// `xrdb` does, e.g. to "Xft.dpi:\t192" for a desktop scaled by 2.
//   set-resources TEXT
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: set-resources TEXT\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "set-resources: cannot open the display\n");
    return 1;
  }
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(argv[1]),
                  static_cast<int>(std::strlen(argv[1])));
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
