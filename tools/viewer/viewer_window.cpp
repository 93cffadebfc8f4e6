#include "tools/viewer/viewer_window.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "backends/sdl/sdl_display.h"
#include "tools/viewer/viewer_layout.h"
#include "tools/viewer/viewer_look.h"
#include "tools/viewer/viewer_placement.h"
#include "tools/viewer/viewer_window_frame.h"

namespace fpu::viewer {

namespace {

constexpr const char kTitle[] = "fpu trace viewer";
// Sizes at scale 1, in pixels.
constexpr int kFontSize = 14;
constexpr int kMinThumb = 20;
constexpr auto kFrameInterval = std::chrono::milliseconds(33);

const SDL_Color kText{0, 0, 0, 255};

class SdlViewerWindow final : public ViewerWindow {
 public:
  SdlViewerWindow(ViewerModel& model, SDL_Window* window, SDL_Renderer* renderer, TTF_Font* font,
                  int scale)
      : model_(model), window_(window), renderer_(renderer), font_(font), scale_(scale) {
    skip_ = std::max(TTF_FontLineSkip(font_), 1);
    int advance = 0;
    TTF_GlyphMetrics(font_, 'M', nullptr, nullptr, nullptr, nullptr, &advance);
    char_width_ = std::max(advance, 1);
  }
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
      switch (event.type) {
        case SDL_QUIT:
          return false;
        case SDL_WINDOWEVENT:
          layout();
          break;
        case SDL_KEYDOWN:
          key(event.key.keysym);
          break;
        case SDL_TEXTINPUT:
          // Letters typed with Ctrl or Alt are commands, not text.
          if ((SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) != 0 || !model_.type(event.text.text)) {
            continue;
          }
          break;
        case SDL_MOUSEWHEEL:
          model_.wheel(event.wheel.y);
          break;
        case SDL_MOUSEBUTTONDOWN:
          if (event.button.button == SDL_BUTTON_LEFT) press(event.button.x, event.button.y);
          break;
        case SDL_MOUSEMOTION:
          if ((event.motion.state & SDL_BUTTON_LMASK) != 0) drag(event.motion.x, event.motion.y);
          break;
        case SDL_MOUSEBUTTONUP:
          if (selecting_) offer_primary_selection();
          selecting_ = false;
          thumb_grab_ = -1;
          break;
        default:
          continue;
      }
      dirty_ = true;
    }
    return true;
  }

  void text_changed() override {
    model_.text_changed();
    dirty_ = true;
  }

  void present() override {
    const auto now = std::chrono::steady_clock::now();
    if (!dirty_ || now < next_frame_) return;
    dirty_ = false;
    next_frame_ = now + kFrameInterval;
    layout();

    SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
    SDL_RenderClear(renderer_);
    draw_text_rows();
    draw_scroll_bar();
    if (layout_.bar) draw_band(*layout_.bar, {210, 230, 255, 255});
    if (layout_.status) draw_band(*layout_.status, {255, 248, 200, 255});
    draw_band(layout_.keys, {225, 225, 225, 255});
    if (layout_.help) draw_help_overlay(*layout_.help);
    SDL_RenderPresent(renderer_);
  }

 private:
  // What is shown: every line, or the filter's.
  ViewerView& view() { return model_.view(); }
  const ViewerView& view() const { return model_.view(); }
  const ViewerText& text() const { return model_.shown_text(); }
  int px(int size) const { return size * scale_; }
  int text_height() const { return layout_.text.height; }
  int text_left() const { return layout_.text_left; }
  int scroll_bar_left() const { return layout_.scroll_bar.x; }

  void layout() {
    SDL_GetRendererOutputSize(renderer_, &width_, &height_);
    layout_ =
        lay_out(model_, {width_, height_, skip_, char_width_, px(kMargin), px(kScrollBarWidth)});
    view().set_rows(layout_.rows);
  }

  static ViewerKey viewer_key(SDL_Keycode sym) {
    switch (sym) {
      case SDLK_UP:
        return ViewerKey::up;
      case SDLK_DOWN:
        return ViewerKey::down;
      case SDLK_PAGEUP:
        return ViewerKey::page_up;
      case SDLK_PAGEDOWN:
        return ViewerKey::page_down;
      case SDLK_HOME:
        return ViewerKey::home;
      case SDLK_END:
        return ViewerKey::end;
      case SDLK_F1:
        return ViewerKey::f1;
      case SDLK_ESCAPE:
        return ViewerKey::escape;
      case SDLK_DELETE:
        return ViewerKey::del;
      case SDLK_a:
        return ViewerKey::a;
      case SDLK_c:
        return ViewerKey::c;
      case SDLK_l:
        return ViewerKey::l;
      case SDLK_s:
        return ViewerKey::s;
      case SDLK_f:
        return ViewerKey::f;
      case SDLK_p:
        return ViewerKey::p;
      case SDLK_t:
        return ViewerKey::t;
      case SDLK_o:
        return ViewerKey::o;
      case SDLK_i:
        return ViewerKey::i;
      case SDLK_h:
        return ViewerKey::h;
      case SDLK_SPACE:
        return ViewerKey::space;
      case SDLK_RETURN:
      case SDLK_KP_ENTER:
        return ViewerKey::enter;
      case SDLK_BACKSPACE:
        return ViewerKey::backspace;
      case SDLK_F3:
        return ViewerKey::f3;
      default:
        return ViewerKey::other;
    }
  }

  void key(const SDL_Keysym& keysym) {
    const KeyOutcome outcome =
        model_.key(viewer_key(keysym.sym), (keysym.mod & KMOD_CTRL) != 0,
                   (keysym.mod & KMOD_SHIFT) != 0, (keysym.mod & KMOD_ALT) != 0);
    if (outcome == KeyOutcome::copy) {
      SDL_SetClipboardText(latin1_to_utf8(view().selected_text()).c_str());
    }
    offer_primary_selection();
    if (on_top_ != model_.on_top()) {
      on_top_ = model_.on_top();
      SDL_SetWindowAlwaysOnTop(window_, on_top_ ? SDL_TRUE : SDL_FALSE);
    }
    if (title_ != model_.title(kTitle)) {
      title_ = model_.title(kTitle);
      SDL_SetWindowTitle(window_, title_.c_str());
    }
  }

  TextPosition position_at(int x, int y) const { return layout_.position_at(x, y, view().top()); }

  void press(int x, int y) {
    if (y >= text_height()) return;
    if (x >= scroll_bar_left()) {
      const Thumb thumb = view().thumb(text_height(), px(kMinThumb));
      if (y < thumb.offset) {
        view().page_up();
      } else if (y >= thumb.offset + thumb.length) {
        view().page_down();
      } else {
        thumb_grab_ = y - thumb.offset;
      }
      return;
    }
    model_.press(position_at(x, y), (SDL_GetModState() & KMOD_SHIFT) != 0);
    selecting_ = true;
  }

  // As X programs do, a new selection becomes the PRIMARY selection (pasted with the middle
  // button); the clipboard changes only on Ctrl+C.
  void offer_primary_selection() {
    const ViewerView& shown = view();
    if (!shown.has_selection()) return;
    const std::pair selected{shown.selection_begin(), shown.selection_end()};
    if (selected == offered_selection_) return;
    offered_selection_ = selected;
    SDL_SetPrimarySelectionText(latin1_to_utf8(shown.selected_text()).c_str());
  }

  void drag(int x, int y) {
    if (thumb_grab_ >= 0) {
      const Thumb thumb = view().thumb(text_height(), px(kMinThumb));
      const int travel = text_height() - thumb.length;
      if (travel > 0) view().scroll_to_fraction(static_cast<double>(y - thumb_grab_) / travel);
      return;
    }
    if (!selecting_) return;
    // Dragging past the text's edge scrolls on.
    view().scroll_by(layout_.edge_scroll(y));
    model_.drag(position_at(x, y));
  }

  void draw_string(std::string_view text, int x, int y) {
    if (text.empty()) return;
    // Trace text is single-byte: drawn as Latin-1.
    const std::string drawn(text.substr(0, kMaxDrawn));
    SDL_Surface* surface = TTF_RenderText_Blended(font_, drawn.c_str(), kText);
    if (surface == nullptr) return;
    if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer_, surface)) {
      const SDL_Rect target{x, y, surface->w, surface->h};
      SDL_RenderCopy(renderer_, texture, nullptr, &target);
      SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(surface);
  }

  void fill(const SDL_Rect& rect, SDL_Color colour) {
    SDL_SetRenderDrawColor(renderer_, colour.r, colour.g, colour.b, colour.a);
    SDL_RenderFillRect(renderer_, &rect);
  }

  void draw_text_rows() {
    const SDL_Rect clip{0, 0, scroll_bar_left(), text_height()};
    SDL_RenderSetClipRect(renderer_, &clip);
    const TextPosition from = view().selection_begin();
    const TextPosition to = view().selection_end();
    const std::uint64_t first = text().first_number();
    for (std::size_t row = 0; row < view().rows() + 1; ++row) {
      const std::uint64_t number = view().top() + row;
      if (number < first || number - first >= text().line_count()) break;
      const std::string_view line = text().line(static_cast<std::size_t>(number - first));
      const int y = layout_.text.y + layout_.margin + static_cast<int>(row) * skip_;
      if (const HighlightRule* rule = model_.highlights().match(line)) {
        fill({0, y, scroll_bar_left(), skip_}, {rule->rgb.r, rule->rgb.g, rule->rgb.b, 255});
      }
      if (view().has_selection() && number >= from.line && number <= to.line) {
        const std::size_t begin = number == from.line ? from.column : 0;
        // A selection running past the line's end shows one cell for the line break.
        const std::size_t end = number == to.line ? to.column : line.size() + 1;
        fill({text_left() + static_cast<int>(begin) * char_width_, y,
              static_cast<int>(end - begin) * char_width_, skip_},
             {173, 214, 255, 255});
      }
      draw_matches(number, line, y);
      if (model_.time_shown()) {
        draw_string(model_.time_text(static_cast<std::size_t>(number - first)), layout_.margin, y);
      }
      draw_string(line, text_left(), y);
    }
    SDL_RenderSetClipRect(renderer_, nullptr);
  }

  // Every match of the find bar's text on the row, the current one distinct.
  void draw_matches(std::uint64_t number, std::string_view line, int y) {
    if (!model_.find_open() || model_.find().query().empty()) return;
    const std::size_t length = model_.find().query().size();
    const auto current = model_.current_match();
    for (const std::size_t at : model_.find().matches_in(line, kMaxDrawn)) {
      const bool is_current = current && current->line == number && current->column == at;
      fill({text_left() + static_cast<int>(at) * char_width_, y,
            static_cast<int>(length) * char_width_, skip_},
           is_current ? SDL_Color{255, 150, 50, 255} : SDL_Color{255, 240, 120, 255});
    }
  }

  void draw_scroll_bar() {
    const int left = scroll_bar_left();
    fill({left, 0, px(kScrollBarWidth), text_height()}, {235, 235, 235, 255});
    const Thumb thumb = view().thumb(text_height(), px(kMinThumb));
    fill({left + px(2), thumb.offset, px(kScrollBarWidth) - px(4), thumb.length},
         {150, 150, 150, 255});
  }

  void draw_band(const LayoutBox& band, SDL_Color background) {
    fill({band.box.x, band.box.y, band.box.width, band.box.height}, background);
    if (band.mark.width > 0) {
      fill({band.mark.x, band.mark.y, band.mark.width, band.mark.height}, {173, 214, 255, 255});
    }
    for (std::size_t i = 0; i < band.rows.size(); ++i) {
      draw_string(band.rows[i], band.text_x, band.text_y + static_cast<int>(i) * skip_);
    }
  }

  void draw_help_overlay(const LayoutBox& help) {
    const SDL_Rect box{help.box.x, help.box.y, help.box.width, help.box.height};
    fill(box, {60, 60, 60, 255});
    fill({box.x + 1, box.y + 1, box.w - 2, box.h - 2}, {250, 250, 250, 255});
    for (std::size_t i = 0; i < help.rows.size(); ++i) {
      draw_string(help.rows[i], help.text_x, help.text_y + static_cast<int>(i) * skip_);
    }
  }

  ViewerModel& model_;
  SDL_Window* window_;
  SDL_Renderer* renderer_;
  TTF_Font* font_;
  int scale_;
  int skip_ = 1;
  int char_width_ = 1;
  int width_ = 0;
  int height_ = 0;
  ViewerLayout layout_;
  bool selecting_ = false;
  std::pair<TextPosition, TextPosition> offered_selection_;  // last put in PRIMARY
  int thumb_grab_ = -1;  // where in the thumb the drag took it, or -1
  std::string title_ = kTitle;
  bool on_top_ = false;
  bool dirty_ = true;
  std::chrono::steady_clock::time_point next_frame_{};
};

}  // namespace

std::unique_ptr<ViewerWindow> ViewerWindow::open(ViewerModel& model, std::string& error,
                                                 const ProgramFrame* program) {
  // The viewer handles SIGINT and SIGTERM itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Text and rectangles need no GL: the software renderer draws into the window's surface,
  // without loading a GL stack (a software one costs some 60 MB and seconds at exit).
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = std::string("no display: ") + SDL_GetError();
    return nullptr;
  }
  if (TTF_Init() != 0) {
    error = std::string("no font engine: ") + TTF_GetError();
    SDL_Quit();
    return nullptr;
  }
  // Text as large as the program shows its picture: at the scale its frame says, else as
  // the program would on this desktop.
  const int told = program != nullptr ? picture_scale_of(*program) : 0;
  const int scale = told > 0 ? told : program_scale();
  std::string font_error;
  const std::string font_file = monospace_font_file(font_error);
  TTF_Font* font = font_file.empty() ? nullptr : TTF_OpenFont(font_file.c_str(), kFontSize * scale);
  if (font == nullptr && !font_file.empty()) {
    font_error = "cannot load " + font_file + ": " + TTF_GetError();
  }
  SDL_Window* window = nullptr;
  ViewerSize size{};
  if (font != nullptr) {
    size = viewer_size(font, scale);
    // Beside the program, framed as the program is; a window manager puts a new window's
    // frame where the window asks to be. Not told where the program is, the viewer's own
    // frame is not known before it is shown: it goes there unframed and settles below.
    ProgramFrame beside;
    bool known = true;
    if (program != nullptr) {
      beside = *program;
    } else {
      known = default_program_frame(FrameExtents{}, &beside);
    }
    const ScreenRect frame = known ? viewer_frame(beside, size) : ScreenRect{};
    SDL_Rect place{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, size.want.x, size.want.y};
    if (frame.width > 0) place = client_rect(frame, beside.extents);
    window = SDL_CreateWindow(kTitle, place.x, place.y, place.w, place.h,
                              SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  }
  SDL_Renderer* renderer =
      window == nullptr ? nullptr : SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (renderer == nullptr) {
    error = font == nullptr ? font_error : std::string("cannot open a window: ") + SDL_GetError();
    if (window != nullptr) SDL_DestroyWindow(window);
    if (font != nullptr) TTF_CloseFont(font);
    TTF_Quit();
    SDL_Quit();
    return nullptr;
  }
  // Shown without taking the keyboard: the program's keys must keep reaching the program.
  show_without_activation(window);
  settle_beside(window, program, size);
  return std::make_unique<SdlViewerWindow>(model, window, renderer, font, scale);
}

}  // namespace fpu::viewer
