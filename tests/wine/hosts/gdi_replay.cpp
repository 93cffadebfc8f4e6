// fpu-sample-replay-gdi.exe: the replay tool's script runner on the real Windows drawing
// services, for comparing GDI's pixels with the software back buffer's (tests/wine).
//
//   fpu-sample-replay-gdi [--ticks N] [--seed N] [SCRIPT]
//
// Trace lines go to standard output as JSON lines, as with fpu-sample-replay. `png FILE`
// lines write the back buffer as a binary PPM; FILE must end in ".ppm".
// The scripted window is a hidden window of its own; the program's window procedure runs
// for it exactly as in the replay tool, while paint and window DCs come from that window.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window.h"
#include "backends/win32/win32_platform.h"
#include "tools/replay/replay_main.h"

namespace {

using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, top row first

// The real drawing services, with the runner's window mapped to a hidden real window and
// the tick count set by the script.
class ScriptedWin32Platform : public fpu::Win32Platform {
 public:
  explicit ScriptedWin32Platform(HWND window)
      : window_(reinterpret_cast<fpu::WindowHandle>(window)) {}
  void set_ticks(std::uint32_t ms) { ticks_ = ms; }

  fpu::Handle get_dc(fpu::WindowHandle) override { return Win32Platform::get_dc(window_); }
  void release_dc(fpu::WindowHandle, fpu::Handle dc) override {
    Win32Platform::release_dc(window_, dc);
  }
  fpu::Handle begin_paint(fpu::WindowHandle) override {
    return Win32Platform::begin_paint(window_);
  }
  void end_paint(fpu::WindowHandle) override { Win32Platform::end_paint(window_); }
  void redraw_window(fpu::WindowHandle, const fpu::Rect& rect) override {
    Win32Platform::redraw_window(window_, rect);
  }
  void set_timer(fpu::WindowHandle, std::uint32_t id, std::uint32_t ms) override {
    Win32Platform::set_timer(window_, id, ms);
  }
  void kill_timer(fpu::WindowHandle, std::uint32_t id) override {
    Win32Platform::kill_timer(window_, id);
  }
  // Scripted messages are not real input: the real default handling of, say, a right-button
  // release above the client area opens the window menu and waits in its modal loop. As in
  // the headless tool, only painting and closing reach it; everything else is answered 0.
  std::intptr_t default_window_proc(fpu::WindowHandle, std::uint32_t message, fpu::WParam wparam,
                                    fpu::LParam lparam) override {
    if (message != fpu::msg::paint && message != fpu::msg::close) return 0;
    return Win32Platform::default_window_proc(window_, message, wparam, lparam);
  }
  std::uint32_t get_tick_count() override { return ticks_; }

 private:
  fpu::WindowHandle window_;
  std::uint32_t ticks_ = 0;
};

// Copies the bitmap selected into `dc` out through a 32-bpp top-down DIB section.
std::optional<Pixels> read_back_buffer(HDC dc) {
  const int w = fpu::view_width;
  const int h = fpu::view_height;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return std::nullopt;
  HDC copy = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(copy, dib);
  bool ok = BitBlt(copy, 0, 0, w, h, dc, 0, 0, SRCCOPY) != FALSE;
  GdiFlush();
  std::optional<Pixels> pixels;
  if (ok) {
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels = Pixels(p, p + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (std::uint32_t& px : *pixels) px &= 0xFFFFFFu;
  }
  SelectObject(copy, old);
  DeleteDC(copy);
  DeleteObject(dib);
  return pixels;
}

bool write_ppm(const std::string& path, const Pixels& pixels, std::string* error) {
  std::ofstream out(path, std::ios::binary);
  if (!out) {
    *error = "cannot open the file";
    return false;
  }
  out << "P6\n" << fpu::view_width << ' ' << fpu::view_height << "\n255\n";
  std::string row;
  for (std::uint32_t px : pixels) {
    row += static_cast<char>((px >> 16) & 0xFF);
    row += static_cast<char>((px >> 8) & 0xFF);
    row += static_cast<char>(px & 0xFF);
  }
  out << row;
  if (!out.flush()) {
    *error = "write failed";
    return false;
  }
  return true;
}

class GdiReplayHost : public fpu::ReplayHost {
 public:
  explicit GdiReplayHost(HWND window) : window_(window), platform_(window) {}
  ~GdiReplayHost() override {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  fpu::Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_ticks(ms); }
  bool write_image(const std::string& path, fpu::Handle back_buffer, std::string* error) override {
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".ppm") != 0) {
      *error = "this tool writes PPM images only; name the file *.ppm";
      return false;
    }
    std::optional<Pixels> pixels = read_back_buffer(reinterpret_cast<HDC>(back_buffer));
    if (!pixels) pixels = last_frame_;
    if (!pixels) {
      *error = "there is no back buffer";
      return false;
    }
    return write_ppm(path, *pixels, error);
  }
  void keep_last_frame(fpu::Handle back_buffer) override {
    last_frame_ = read_back_buffer(reinterpret_cast<HDC>(back_buffer));
  }

 private:
  HWND window_;
  ScriptedWin32Platform platform_;
  std::optional<Pixels> last_frame_;
};

class GdiBackend : public fpu::ReplayBackend {
 public:
  std::unique_ptr<fpu::ReplayHost> make_host(const fpu::ReplayCommandLine& line,
                                             std::string* error) override {
    if (!line.record_path.empty() || line.scale != 1) {
      *error = "this tool writes frames at their own size and records nothing";
      return nullptr;
    }
    // A plain hidden window: its DC gives the back buffer the display's format.
    HWND window =
        CreateWindowExA(0, "Static", "fpu replay", WS_OVERLAPPEDWINDOW, 0, 0, fpu::frame_width,
                        fpu::frame_height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
      *error = "cannot create a window (is there a display?)";
      return nullptr;
    }
    return std::make_unique<GdiReplayHost>(window);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Plain LF line ends, as on Linux, so outputs compare byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  GdiBackend backend;
  return fpu::replay_main("fpu-sample-replay-gdi", argc, argv, backend);
}
