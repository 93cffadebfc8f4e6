#include "tools/viewer/viewer_window.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/sdl/sdl_display.h"
#include "tools/viewer/viewer_placement.h"

namespace fpu::viewer {

namespace {

constexpr const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr const char kTitle[] = "fpu trace viewer";
constexpr int kFontSize = 14;
constexpr int kMargin = 4;
// Longest part of a line drawn; the rest would be off the window anyway.
constexpr std::size_t kMaxDrawn = 400;
constexpr auto kFrameInterval = std::chrono::milliseconds(33);
constexpr int kWidth = 720;
constexpr int kHeight = 480;

// Beside the program's window, where the program puts it on this screen at the desktop's
// scale; anywhere when the screen's size is unknown.
ScreenRect viewer_place() {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    return {SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth, kHeight};
  }
  const ScreenRect program = program_rect(mode.w, mode.h, view_width, view_height, desktop_scale());
  return place_viewer(program, mode.w, mode.h, kWidth, kHeight);
}

class SdlViewerWindow final : public ViewerWindow {
 public:
  SdlViewerWindow(ViewerText& text, SDL_Window* window, SDL_Renderer* renderer, TTF_Font* font)
      : text_(text), window_(window), renderer_(renderer), font_(font) {}
  ~SdlViewerWindow() override {
    TTF_CloseFont(font_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    TTF_Quit();
    SDL_Quit();
  }

  bool handle_events() override {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
      if (event.type == SDL_QUIT) return false;
      if (event.type == SDL_WINDOWEVENT) dirty_ = true;
      if (event.type != SDL_KEYDOWN) continue;
      const bool ctrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
      const SDL_Keycode key = event.key.keysym.sym;
      if (key == SDLK_DELETE || (ctrl && key == SDLK_l)) {
        text_.clear();
        dirty_ = true;
      } else if (ctrl && key == SDLK_s) {
        save();
      }
    }
    return true;
  }

  void text_changed() override { dirty_ = true; }

  void present() override {
    const auto now = std::chrono::steady_clock::now();
    if (!dirty_ || now < next_frame_) return;
    dirty_ = false;
    next_frame_ = now + kFrameInterval;

    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
    SDL_RenderClear(renderer_);
    const int skip = TTF_FontLineSkip(font_) > 0 ? TTF_FontLineSkip(font_) : kFontSize;
    const auto lines = text_.last_lines(static_cast<std::size_t>(height / skip + 1));
    const int total = static_cast<int>(lines.size()) * skip;
    // Scrolled to the end: the last line sits at the bottom once the text overflows.
    int y = total + kMargin > height ? height - kMargin - total : kMargin;
    const SDL_Color black{0, 0, 0, 255};
    for (const auto line : lines) {
      if (!line.empty()) {
        // Trace text is single-byte: drawn as Latin-1.
        const std::string drawn(line.substr(0, kMaxDrawn));
        if (SDL_Surface* surface = TTF_RenderText_Blended(font_, drawn.c_str(), black)) {
          if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer_, surface)) {
            const SDL_Rect target{kMargin, y, surface->w, surface->h};
            SDL_RenderCopy(renderer_, texture, nullptr, &target);
            SDL_DestroyTexture(texture);
          }
          SDL_FreeSurface(surface);
        }
      }
      y += skip;
    }
    SDL_RenderPresent(renderer_);
  }

 private:
  // Saves the text to ./fpu-trace-<date>-<time>.txt and shows the outcome in the title.
  void save() {
    char name[64];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(name, sizeof name, "fpu-trace-%Y%m%d-%H%M%S.txt", &local);
    char cwd[4096];
    const std::string path =
        (::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" : "") + name;
    bool saved = false;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
      const auto& text = text_.text();
      saved = std::fwrite(text.data(), 1, text.size(), file) == text.size();
      saved = std::fclose(file) == 0 && saved;
    }
    const std::string title =
        std::string(kTitle) + (saved ? " - saved to " : " - could not save ") + path;
    SDL_SetWindowTitle(window_, title.c_str());
  }

  ViewerText& text_;
  SDL_Window* window_;
  SDL_Renderer* renderer_;
  TTF_Font* font_;
  bool dirty_ = true;
  std::chrono::steady_clock::time_point next_frame_{};
};

}  // namespace

std::unique_ptr<ViewerWindow> ViewerWindow::open(ViewerText& text, std::string& error) {
  // The viewer handles SIGINT and SIGTERM itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = std::string("no display: ") + SDL_GetError();
    return nullptr;
  }
  if (TTF_Init() != 0) {
    error = std::string("no font engine: ") + TTF_GetError();
    SDL_Quit();
    return nullptr;
  }
  TTF_Font* font = TTF_OpenFont(kFontPath, kFontSize);
  const ScreenRect place = viewer_place();
  SDL_Window* window = font == nullptr
                           ? nullptr
                           : SDL_CreateWindow(kTitle, place.x, place.y, place.width, place.height,
                                              SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  SDL_Renderer* renderer = window == nullptr ? nullptr : SDL_CreateRenderer(window, -1, 0);
  if (renderer == nullptr) {
    error = font == nullptr ? std::string("cannot load ") + kFontPath + ": " + TTF_GetError()
                            : std::string("cannot open a window: ") + SDL_GetError();
    if (window != nullptr) SDL_DestroyWindow(window);
    if (font != nullptr) TTF_CloseFont(font);
    TTF_Quit();
    SDL_Quit();
    return nullptr;
  }
  // Shown without taking the keyboard: the program's keys must keep reaching the program.
  show_without_activation(window);
  return std::make_unique<SdlViewerWindow>(text, window, renderer, font);
}

}  // namespace fpu::viewer
