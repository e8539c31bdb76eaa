// Benchmark of the frame loop and presentation (not a test): the CPU share of an idle main window over
// a few seconds, and frames per second of full 800x600 presents with the idle wait at 0, next to a
// plain XPutImage / StretchDIBits loop in the same run. Usage: bench_present [idle seconds] [fps seconds]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "host.h"
#include "image.h"
#include "screen_image.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

// CPU time of the process in milliseconds.
static double cpu_milliseconds() {
#ifdef _WIN32
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return (double)(k.QuadPart + u.QuadPart) / 10000.0;
#else
  return (double)std::clock() * 1000.0 / CLOCKS_PER_SEC;
#endif
}

static INT_U32 run_until = 0;
static INT_U32 frames = 0;

static INT_U8 idle_update() { return (INT_S32)(get_tick_count() - run_until) < 0 ? 1 : 0; }

static INT_U8 presenting_update() {
  screen_image.pixels[frames % (800 * 600)] ^= 0x00FFFFFF;
  screen_image.extend_dirty_area(0, 0, 799, 599);
  present_frame(0);
  frames++;
  return idle_update();
}

// The same full frames sent with the window system's own call, without the library in between; the
// time taken, up to the last frame's arrival, goes to elapsed_ms.
static INT_U32 plain_loop(INT_U32 ms, INT_U32* elapsed_ms) {
  INT_U32 count = 0;
  INT_U32 start = get_tick_count();
  INT_U32 end = start + ms;
  *elapsed_ms = ms;
#ifdef _WIN32
  HWND window = FindWindowA("main", "bench");
  if (!window) return 0;
  BITMAPINFO info;
  ZeroMemory(&info, sizeof(info));
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 800;
  info.bmiHeader.biHeight = -600;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  while ((INT_S32)(get_tick_count() - end) < 0) {
    screen_image.pixels[count % (800 * 600)] ^= 0x00FFFFFF;
    HDC dc = GetDC(window);
    StretchDIBits(dc, 0, 0, 800, 600, 0, 0, 800, 600, screen_image.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
    // A plain program's loop also takes its messages; that is where the system puts the window's
    // picture on the screen (Wine flushes its window surfaces there).
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    count++;
  }
  GdiFlush();
  *elapsed_ms = get_tick_count() - start;
#else
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 800, 600, 0, 0, 0);
  XMapWindow(display, window);
  GC gc = XCreateGC(display, window, 0, nullptr);
  XImage* image = XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, 0,
                               (char*)screen_image.pixels, 800, 600, 32, 800 * 4);
  XSync(display, False);
  while (image && (INT_S32)(get_tick_count() - end) < 0) {
    screen_image.pixels[count % (800 * 600)] ^= 0x00FFFFFF;
    XPutImage(display, window, gc, image, 0, 0, 0, 0, 800, 600);
    XFlush(display);
    count++;
  }
  XSync(display, False);
  *elapsed_ms = get_tick_count() - start;
  if (image) {
    image->data = nullptr;
    XDestroyImage(image);
  }
  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
#endif
  return count;
}

int main(int argc, char** argv) {
  INT_U32 idle_seconds = argc > 1 ? (INT_U32)std::atoi(argv[1]) : 10;
  INT_U32 fps_seconds = argc > 2 ? (INT_U32)std::atoi(argv[2]) : 3;
  if (!open_graphics_window("bench", 800, 600, 0, 0)) {
    std::printf("no window\n");
    return 1;
  }
  const char* headless = std::getenv(HEADLESS_VARIABLE);
  std::printf("window: %s\n", headless && headless[0] && std::string(headless) != "0" ? "headless" : "display");

  set_idle_wait(50);
  double cpu_before = cpu_milliseconds();
  INT_U32 start = get_tick_count();
  run_until = start + idle_seconds * 1000;
  run_frame_loop(idle_update);
  double wall = (double)(get_tick_count() - start);
  double cpu = cpu_milliseconds() - cpu_before;
  std::printf("idle loop: %.0f ms wall, %.1f ms CPU, %.2f %% of one core\n", wall, cpu, wall > 0 ? 100.0 * cpu / wall : 0);

  set_idle_wait(0);
  frames = 0;
  start = get_tick_count();
  run_until = start + fps_seconds * 1000;
  run_frame_loop(presenting_update);
  wall = (double)(get_tick_count() - start);
  std::printf("library present, idle wait 0: %u frames, %.1f frames per second\n", frames,
              wall > 0 ? frames * 1000.0 / wall : 0);

  INT_U32 plain_ms = 0;
  INT_U32 plain = plain_loop(fps_seconds * 1000, &plain_ms);
  std::printf("plain %s loop: %u frames, %.1f frames per second\n",
#ifdef _WIN32
              "StretchDIBits",
#else
              "XPutImage",
#endif
              plain, plain_ms > 0 ? plain * 1000.0 / plain_ms : 0);
  close_main_window(-1);
  return 0;
}
