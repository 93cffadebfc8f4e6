#include "backends/sdl/sdl_platform.h"

#include <algorithm>

#include "app/window.h"
#include "backends/sdl/sdl_display.h"
#include "backends/sdl/sdl_keymap.h"

namespace fpu {

SdlPlatform::~SdlPlatform() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
}

bool SdlPlatform::open_window(std::string& error, std::int32_t chosen_scale) {
  // As Windows shows a program that does not declare itself DPI-aware: the same picture,
  // each pixel a square of scale x scale.
  scale_ = chosen_scale > 0 ? chosen_scale : desktop_scale();
  int x = SDL_WINDOWPOS_CENTERED;
  int y = SDL_WINDOWPOS_CENTERED;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    const auto scale = static_cast<std::uint32_t>(scale_);
    x = window_x_for_screen(static_cast<std::uint32_t>(mode.w), scale);
    y = window_y_for_screen(static_cast<std::uint32_t>(mode.h), scale);
  }
  // The client area shows the whole back buffer; the window stays hidden until the
  // start-up steps after its creation have run.
  window_ = SDL_CreateWindow(window_title, x, y, view_width * scale_, view_height * scale_,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (window_ == nullptr) {
    error = SDL_GetError();
    return false;
  }
  // One 700 x 654 upload per paint needs no GPU; the software renderer starts fastest.
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    error = SDL_GetError();
    return false;
  }
  const Surface& surface = window_surface();
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                               surface.width, surface.height);
  if (texture_ == nullptr) {
    error = SDL_GetError();
    return false;
  }
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);    // a straight copy
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);  // whole pixels when scaled
  SDL_StopTextInput();                                      // the program reads key codes only
  return true;
}

void SdlPlatform::set_icon(const std::uint32_t* argb, int size) {
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint32_t*>(argb), size, size, 32, size * 4, SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) return;  // the window just keeps the desktop's default icon
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

ProgramFrame SdlPlatform::window_frame() const {
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(window_, &x, &y);
  SDL_GetWindowSize(window_, &width, &height);
  // SDL reads _NET_FRAME_EXTENTS on X11; where it cannot tell, the frame is the client area.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  return {{x - left, y - top, width + left + right, height + top + bottom},
          {left, top, right, bottom}};
}

void SdlPlatform::show_window() {
  SDL_ShowWindow(window_);
  // The first paint below stands for everything showing uncovers (UpdateWindow validates
  // the window), so the expose events of the mapping are dropped.
  SDL_PumpEvents();
  SDL_FlushEvent(SDL_WINDOWEVENT);
  exposed_ = false;
}

void SdlPlatform::present() {
  const Surface& surface = window_surface();
  SDL_UpdateTexture(texture_, nullptr, surface.pixels.data(),
                    surface.width * static_cast<int>(sizeof(std::uint32_t)));
  // At the top-left, each pixel scale x scale; whatever a larger window shows beyond the
  // bitmap is black. Only that part is filled: clearing the whole window first doubles the
  // cost of a frame.
  const int width = surface.width * scale_;
  const int height = surface.height * scale_;
  const SDL_Rect where{0, 0, width, height};
  SDL_RenderCopy(renderer_, texture_, nullptr, &where);
  int out_width = 0;
  int out_height = 0;
  SDL_GetRendererOutputSize(renderer_, &out_width, &out_height);
  const SDL_Rect beyond[] = {
      {width, 0, out_width - width, out_height},                     // right
      {0, height, std::min(width, out_width), out_height - height},  // below
  };
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  for (const SDL_Rect& rect : beyond) {
    if (rect.w > 0 && rect.h > 0) SDL_RenderFillRect(renderer_, &rect);
  }
  SDL_RenderPresent(renderer_);
  ++frames_presented_;
}

void SdlPlatform::end_paint(WindowHandle window) {
  SoftPlatform::end_paint(window);
  present();
}

void SdlPlatform::set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) {
  SoftPlatform::set_timer(window, id, milliseconds);
  timers_.set(id, milliseconds, SDL_GetTicks());
}

void SdlPlatform::kill_timer(WindowHandle window, std::uint32_t id) {
  SoftPlatform::kill_timer(window, id);
  timers_.kill(id);
}

void SdlPlatform::dispatch(Program& program, std::uint32_t message, WParam wparam, LParam lparam) {
  window_proc(program, window_handle(), message, wparam, lparam);
}

void SdlPlatform::handle_event(Program& program, const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                        event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
    exposed_ = true;  // repainted without clearing, like an uncovered Windows window
  }
  EventContext context;
  context.modifiers = static_cast<std::uint16_t>(SDL_GetModState());
  context.buttons = buttons_;
  SDL_GetWindowSize(window_, &context.client_width, &context.client_height);
  context.scale = scale_;
  const std::optional<WindowMessage> message = translate_event(event, context);
  buttons_ = buttons_after(event, buttons_);
  if (message) dispatch(program, message->code, message->wparam, message->lparam);
}

class SdlPlatform::Loop final : public MessageSource {
 public:
  Loop(SdlPlatform& window, Program& program) : window_(window), program_(program) {}

  bool quit_posted() override { return window_.quit_posted(); }

  bool deliver_input() override {
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) return false;
    window_.handle_event(program_, event);
    return true;
  }

  bool deliver_paint() override {
    if (!window_.invalidated() && !window_.exposed_) return false;
    window_.clear_invalidated();
    window_.exposed_ = false;
    window_.dispatch(program_, msg::paint, 0, 0);
    return true;
  }

  bool deliver_timer() override {
    const std::optional<std::uint32_t> id = window_.timers_.take_due(SDL_GetTicks());
    if (!id) return false;
    window_.dispatch(program_, msg::timer, *id, 0);
    return true;
  }

  // Until the next event or timer deadline, never spinning; the event stays queued.
  void wait() override {
    const int budget = window_.timers_.wait_budget(SDL_GetTicks());
    if (budget < 0) {
      SDL_WaitEvent(nullptr);
    } else {
      SDL_WaitEventTimeout(nullptr, budget);
    }
  }

 private:
  SdlPlatform& window_;
  Program& program_;
};

int SdlPlatform::run(Program& program) {
  start_program(program, window_handle(), [this] {
    show_window();
    buttons_ = SDL_GetMouseState(nullptr, nullptr);
    clear_invalidated();
  });

  Loop loop(*this, program);
  run_message_loop(loop);
  return quit_code();
}

}  // namespace fpu
