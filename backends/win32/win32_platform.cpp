#include "backends/win32/win32_platform.h"

#include <windows.h>

#include <map>

#include "scene/scene_state.h"

namespace fpu {

// The core compares against its own copies of these codes; they must be the system's.
static_assert(msg::create == WM_CREATE && msg::destroy == WM_DESTROY && msg::paint == WM_PAINT &&
              msg::close == WM_CLOSE && msg::key_down == WM_KEYDOWN && msg::key_up == WM_KEYUP &&
              msg::sys_key_down == WM_SYSKEYDOWN && msg::timer == WM_TIMER &&
              msg::mouse_move == WM_MOUSEMOVE && msg::lbutton_down == WM_LBUTTONDOWN &&
              msg::lbutton_up == WM_LBUTTONUP && msg::rbutton_down == WM_RBUTTONDOWN &&
              msg::rbutton_up == WM_RBUTTONUP && msg::mbutton_down == WM_MBUTTONDOWN &&
              msg::mbutton_up == WM_MBUTTONUP);
static_assert(mk::lbutton == MK_LBUTTON && mk::rbutton == MK_RBUTTON && mk::shift == MK_SHIFT &&
              mk::control == MK_CONTROL && mk::mbutton == MK_MBUTTON &&
              mk::xbutton1 == MK_XBUTTON1 && mk::xbutton2 == MK_XBUTTON2);
static_assert(vk::back == VK_BACK && vk::return_key == VK_RETURN && vk::escape == VK_ESCAPE &&
              vk::space == VK_SPACE && vk::insert == VK_INSERT && vk::left == VK_LEFT &&
              vk::up == VK_UP && vk::right == VK_RIGHT && vk::down == VK_DOWN &&
              vk::numpad0 == VK_NUMPAD0 && vk::f1 == VK_F1 && vk::oem_comma == VK_OEM_COMMA &&
              vk::oem_minus == VK_OEM_MINUS && vk::oem_period == VK_OEM_PERIOD &&
              vk::oem_3 == VK_OEM_3);
static_assert(pen_style_solid == PS_SOLID && bk_mode_transparent == TRANSPARENT);
static_assert(sizeof(Handle) == sizeof(HANDLE) && sizeof(WParam) == sizeof(WPARAM) &&
              sizeof(LParam) == sizeof(LPARAM) && sizeof(std::intptr_t) == sizeof(LRESULT));

namespace {

template <class T>
T as(Handle h) {
  return reinterpret_cast<T>(h);
}
template <class T>
Handle handle(T object) {
  return reinterpret_cast<Handle>(object);
}
HWND as_window(WindowHandle w) {
  return reinterpret_cast<HWND>(w);
}
RECT to_rect(const Rect& r) {
  return RECT{r.left, r.top, r.right, r.bottom};
}

}  // namespace

struct Win32Platform::Native {
  std::map<HWND, PAINTSTRUCT> paints;
  // Where a scaled window's paints are drawn at picture size (made on the first one).
  HDC picture = nullptr;
  HBITMAP picture_bitmap = nullptr;
  HGDIOBJ picture_old_bitmap = nullptr;
  // A DPI-aware program's new device contexts get a system font grown with the desktop's
  // dots per inch; the picture keeps the size it has at 96 (null there: nothing to change).
  HFONT text_font = nullptr;
};

std::uint32_t system_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<std::uint32_t>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

namespace {

HFONT font_at_unscaled_dpi() {
  const auto dpi = static_cast<int>(system_dpi());
  LOGFONTA font{};
  if (dpi == USER_DEFAULT_SCREEN_DPI ||
      GetObjectA(GetStockObject(SYSTEM_FONT), sizeof font, &font) != sizeof font) {
    return nullptr;
  }
  font.lfHeight = MulDiv(font.lfHeight, USER_DEFAULT_SCREEN_DPI, dpi);
  font.lfWidth = MulDiv(font.lfWidth, USER_DEFAULT_SCREEN_DPI, dpi);
  return CreateFontIndirectA(&font);
}

}  // namespace

Win32Platform::Win32Platform() : native_(std::make_unique<Native>()) {
  native_->text_font = font_at_unscaled_dpi();
}

Win32Platform::~Win32Platform() {
  if (native_->picture != nullptr) {
    SelectObject(native_->picture, native_->picture_old_bitmap);
    DeleteDC(native_->picture);
    DeleteObject(native_->picture_bitmap);
  }
  if (native_->text_font != nullptr) DeleteObject(native_->text_font);
}

void Win32Platform::set_scale(std::int32_t scale) {
  scale_ = scale < 1 ? 1 : scale;
}

Handle Win32Platform::create_compatible_dc(Handle dc) {
  HDC created = CreateCompatibleDC(as<HDC>(dc));
  if (created != nullptr && native_->text_font != nullptr) {
    SelectObject(created, native_->text_font);
  }
  return handle(created);
}

Handle Win32Platform::create_compatible_bitmap(Handle dc, std::int32_t width, std::int32_t height) {
  return handle(CreateCompatibleBitmap(as<HDC>(dc), width, height));
}

Handle Win32Platform::create_solid_brush(ColorRef color) {
  return handle(CreateSolidBrush(color));
}

Handle Win32Platform::create_pen(std::int32_t style, std::int32_t width, ColorRef color) {
  return handle(CreatePen(style, width, color));
}

Handle Win32Platform::select_object(Handle dc, Handle object) {
  return handle(SelectObject(as<HDC>(dc), as<HGDIOBJ>(object)));
}

bool Win32Platform::delete_object(Handle object) {
  return DeleteObject(as<HGDIOBJ>(object)) != FALSE;
}

bool Win32Platform::delete_dc(Handle dc) {
  return DeleteDC(as<HDC>(dc)) != FALSE;
}

void Win32Platform::set_bk_mode(Handle dc, std::int32_t mode) {
  SetBkMode(as<HDC>(dc), mode);
}

void Win32Platform::set_text_color(Handle dc, ColorRef color) {
  SetTextColor(as<HDC>(dc), color);
}

void Win32Platform::set_pixel(Handle dc, std::int32_t x, std::int32_t y, ColorRef color) {
  SetPixel(as<HDC>(dc), x, y, color);
}

void Win32Platform::move_to(Handle dc, std::int32_t x, std::int32_t y) {
  MoveToEx(as<HDC>(dc), x, y, nullptr);
}

void Win32Platform::line_to(Handle dc, std::int32_t x, std::int32_t y) {
  LineTo(as<HDC>(dc), x, y);
}

void Win32Platform::text_out(Handle dc, std::int32_t x, std::int32_t y, const char* text,
                             std::int32_t count) {
  TextOutA(as<HDC>(dc), x, y, text, count);
}

void Win32Platform::bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, Handle src, std::int32_t src_x,
                            std::int32_t src_y) {
  BitBlt(as<HDC>(dst), x, y, width, height, as<HDC>(src), src_x, src_y, SRCCOPY);
}

void Win32Platform::fill_rect(Handle dc, const Rect& rect, Handle brush) {
  RECT r = to_rect(rect);
  FillRect(as<HDC>(dc), &r, as<HBRUSH>(brush));
}

Handle Win32Platform::get_dc(WindowHandle window) {
  return handle(GetDC(as_window(window)));
}

void Win32Platform::release_dc(WindowHandle window, Handle dc) {
  ReleaseDC(as_window(window), as<HDC>(dc));
}

Handle Win32Platform::begin_paint(WindowHandle window) {
  HWND hwnd = as_window(window);
  HDC dc = BeginPaint(hwnd, &native_->paints[hwnd]);
  if (scale_ == 1 || dc == nullptr) return handle(dc);
  if (native_->picture == nullptr) {
    HDC picture = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, view_width, view_height);
    if (picture == nullptr || bitmap == nullptr) {
      if (picture != nullptr) DeleteDC(picture);
      if (bitmap != nullptr) DeleteObject(bitmap);
      return handle(dc);  // unscaled rather than nothing
    }
    native_->picture_old_bitmap = SelectObject(picture, bitmap);
    native_->picture = picture;
    native_->picture_bitmap = bitmap;
  }
  return handle(native_->picture);
}

void Win32Platform::end_paint(WindowHandle window) {
  HWND hwnd = as_window(window);
  auto it = native_->paints.find(hwnd);
  if (it == native_->paints.end()) return;  // no paint open for it: nothing to end
  HDC dc = it->second.hdc;
  if (scale_ > 1 && dc != nullptr && native_->picture != nullptr) {
    // Whole pixels: each source pixel becomes a scale x scale square, nothing blended.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, view_width * scale_, view_height * scale_, native_->picture, 0, 0,
               view_width, view_height, SRCCOPY);
  }
  EndPaint(hwnd, &it->second);
  native_->paints.erase(it);
}

void Win32Platform::redraw_window(WindowHandle window, const Rect& rect) {
  RECT r{rect.left * scale_, rect.top * scale_, rect.right * scale_, rect.bottom * scale_};
  RedrawWindow(as_window(window), &r, nullptr, RDW_INVALIDATE);
}

void Win32Platform::set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) {
  SetTimer(as_window(window), id, milliseconds, nullptr);
}

void Win32Platform::kill_timer(WindowHandle window, std::uint32_t id) {
  KillTimer(as_window(window), id);
}

void Win32Platform::post_quit_message(std::int32_t exit_code) {
  PostQuitMessage(exit_code);
}

std::intptr_t Win32Platform::default_window_proc(WindowHandle window, std::uint32_t message,
                                                 WParam wparam, LParam lparam) {
  return DefWindowProcA(as_window(window), message, wparam, lparam);
}

std::uint32_t Win32Platform::get_tick_count() {
  return GetTickCount();
}

}  // namespace fpu
