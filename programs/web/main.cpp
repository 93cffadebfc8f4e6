// fpu-sample in a web page: the entry points the page's script calls (library_fpu.js wires
// the canvas, the timers and the panel to them).
#include <emscripten/emscripten.h>

#include <cstdint>

#include "backends/web/web_input.h"
#include "backends/web/web_platform.h"

extern "C" {
void fpu_js_attach(void* demo);
void fpu_js_keep_attach(void* demo);
}

namespace {

using fpu::web::WebDemo;

WebDemo& demo_at(void* demo) {
  return *static_cast<WebDemo*>(demo);
}

// The page passes Shift, Ctrl, Alt and Meta as bits 0-3.
fpu::web::Modifiers modifiers_from(int bits) {
  return {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int fpu_web_key(void* demo, const char* code, const char* key, int modifiers,
                                     int down, int repeat) {
  return demo_at(demo).key(code, key, modifiers_from(modifiers), down != 0, repeat != 0) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void fpu_web_mouse(void* demo, int action, int button, int buttons,
                                        int modifiers, double x, double y, double width,
                                        double height) {
  demo_at(demo).mouse(static_cast<fpu::web::MouseAction>(action), button,
                      static_cast<std::uint32_t>(buttons), modifiers_from(modifiers), x, y, width,
                      height);
}

EMSCRIPTEN_KEEPALIVE void fpu_web_timer(void* demo, std::uint32_t id) {
  demo_at(demo).timer(id);
}

EMSCRIPTEN_KEEPALIVE void fpu_web_frame(void* demo) {
  demo_at(demo).animation_frame();
}

EMSCRIPTEN_KEEPALIVE void fpu_web_restart(void* demo) {
  demo_at(demo).restart();
}

EMSCRIPTEN_KEEPALIVE const char* fpu_web_dropped_notice(void* demo, double count) {
  return demo_at(demo).dropped_notice(static_cast<std::uint64_t>(count));
}

// The session so far as a replay script, or null when it outgrew what the page keeps.
EMSCRIPTEN_KEEPALIVE const char* fpu_web_session(void* demo) {
  return demo_at(demo).session_script();
}

EMSCRIPTEN_KEEPALIVE int fpu_web_scale(double device_pixel_ratio) {
  return fpu::web::integer_scale(device_pixel_ratio);
}

}  // extern "C"

int main() {
  // Lives as long as the page; the runtime stays up after main returns.
  auto* demo = new WebDemo;
  fpu_js_attach(demo);
  fpu_js_keep_attach(demo);
  demo->start();
  return 0;
}
