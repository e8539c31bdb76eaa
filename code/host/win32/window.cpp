// Windows host layer: the main window of class "main", its display modes, and the presentation of a view
// of its pixels with GDI, or with OpenGL while a context exists.
#include "win32_host.h"
#include "host_private.h"

#include <GL/gl.h>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "velk_string.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

HWND main_window = nullptr;
INT_S32 window_scale = 96;
INT_U8 display_mode_bits = 32;
INT_S16 display_mode_width = 0;
INT_S16 display_mode_height = 0;

static INT_S16 available_width = -1;
static INT_S16 available_height = -1;
static HGLRC gl_context = nullptr;
static HDC gl_device_context = nullptr;
static INT_U32* presentation_buffer = nullptr;
static INT_S16 presentation_width = 0;
static INT_S16 presentation_height = 0;
static INT_S32 frame_width = 0;   // the frame's size that open_window gave the library
static INT_S32 frame_height = 0;
static INT_U32* scaled_buffer = nullptr;  // the client area's pixels while the window scales the frame
static INT_S32 scaled_width = 0;
static INT_S32 scaled_height = 0;

// The client pixels that show count frame pixels.
static INT_S32 scaled(INT_S32 count, INT_S32 scale) { return (count * scale + 95) / 96; }

INT_S32 frame_coordinate(INT_S32 client) {
  return client >= 0 ? client * 96 / window_scale : -((-client * 96 + window_scale - 1) / window_scale);
}

INT_S32 client_coordinate(INT_S32 frame) {
  return frame >= 0 ? (frame * window_scale + 95) / 96 : -((-frame * window_scale) / 96);
}

// The DPI of the monitor the window is on: the window's own where the system tells it (Windows 10
// 1607 on), else the system's.
static INT_S32 window_dpi(HWND window) {
  typedef UINT(WINAPI * GET_DPI_FOR_WINDOW)(HWND);
  static GET_DPI_FOR_WINDOW for_window =
      (GET_DPI_FOR_WINDOW)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
  INT_S32 dpi = for_window ? (INT_S32)for_window(window) : 0;
  if (dpi > 0) return dpi;
  HDC screen = GetDC(nullptr);
  if (screen) {
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : 96;
}

// The scale for a frame of width x height whose window adds extra_width x extra_height around it: the
// DPI where the window fits the area, else the largest quarter step below it that does; one client
// pixel per frame pixel at the least (a window too large for the area at that is cut as before).
static INT_S32 fitting_scale(INT_S32 dpi, INT_S32 width, INT_S32 height, INT_S32 extra_width, INT_S32 extra_height,
                             INT_S32 area_width, INT_S32 area_height) {
  INT_S32 scale = dpi;
  while (scale > 96 &&
         (scaled(width, scale) + extra_width > area_width || scaled(height, scale) + extra_height > area_height))
    scale = (scale - 1) / 24 * 24;
  return scale < 96 ? 96 : scale;
}

// The window's size around its client area now (its frame and caption).
static void window_extra(INT_S32* extra_width, INT_S32* extra_height) {
  RECT outer, client;
  *extra_width = *extra_height = 0;
  if (!GetWindowRect(main_window, &outer) || !GetClientRect(main_window, &client)) return;
  *extra_width = (outer.right - outer.left) - (client.right - client.left);
  *extra_height = (outer.bottom - outer.top) - (client.bottom - client.top);
}

// Puts the window's corner at (x, y) with a client area of width x height. A frame whose size changes
// with the move (another style, another DPI) is measured again once.
static void place_window(INT_S32 x, INT_S32 y, INT_S32 width, INT_S32 height) {
  for (int round = 0; round < 2; round++) {
    INT_S32 extra_width, extra_height;
    window_extra(&extra_width, &extra_height);
    SetWindowPos(main_window, nullptr, x, y, width + extra_width, height + extra_height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RECT client;
    if (GetClientRect(main_window, &client) && client.right - client.left == width &&
        client.bottom - client.top == height)
      return;
  }
}

bool change_display_mode(INT_S16 width, INT_S16 height, INT_U8 bits) {
  DEVMODEA mode;
  ZeroMemory(&mode, sizeof(mode));
  mode.dmSize = sizeof(mode);
  mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  mode.dmPelsWidth = (DWORD)width;
  mode.dmPelsHeight = (DWORD)height;
  mode.dmBitsPerPel = bits;
  return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
}

// The title in UTF-16, which the window of a wide class keeps and shows whole whatever the code page; a
// title whose runs are damaged as its characters are drawn (a damaged group left out).
static void set_title_text(const char* title) {
  std::vector<WCHAR> wide;
  if (!wide_text(title, &wide)) {
    wide.clear();
    WIDE_RUN_READER reader(title);
    INT_U32 unit;
    while (reader.next(&unit)) wide.push_back((WCHAR)unit);
    wide.push_back(0);
  }
  SetWindowTextW(main_window, wide.data());
}

// Windows always has a window system; Wine without one (no X server) makes no window, not even a
// hidden one, which shows it at no cost to anyone.
const char* display_problem() {
  if (main_window) return nullptr;
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance_handle, nullptr);
  if (!probe) return "no window can be made";
  DestroyWindow(probe);
  return nullptr;
}

INT_U8 open_window(const GRAPHICS_MODE* mode, INT_S16 screen, INT_S16* client_width, INT_S16* client_height) {
  if (screen != 0 || !mode) return 0;
  const char* title = mode->title ? mode->title : "";
  INT_S32 width, height;
  bool full_screen = mode->full_screen != 0;
  bool popup = full_screen || mode->borderless;

  if (full_screen_active) {
    ChangeDisplaySettingsA(nullptr, 0);
    full_screen_active = 0;
  }
  if (!full_screen) {
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) SetRect(&work, 0, 0, 0, 0);
    available_width = (INT_S16)(work.right - work.left);
    available_height = (INT_S16)(work.bottom - work.top);
  } else {
    available_width = get_desktop_width();
    available_height = get_desktop_height();
  }
  host_mode_size(mode, available_width, available_height, &width, &height);

  DWORD style;
  INT_S32 frame_side = 0, frame_bottom = 0, frame_top = 0;  // the frame's estimate at the system's DPI
  if (!popup) {
    style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    frame_side = GetSystemMetrics(SM_CXFIXEDFRAME);
    frame_bottom = GetSystemMetrics(SM_CYFIXEDFRAME);
    frame_top = GetSystemMetrics(SM_CYCAPTION) + frame_bottom;
    if (width > available_width - 2 * frame_side) width = available_width - 2 * frame_side;
    if (height > available_height - frame_bottom - frame_top) height = available_height - frame_bottom - frame_top;
  } else {
    style = WS_POPUP;
    if (full_screen) {
      available_width = (INT_S16)width;
      available_height = (INT_S16)height;
    }
  }
  if (!host_mode_size_fits(mode, width, height)) return 0;

  if (!main_window) {
    register_main_class();
    main_window = CreateWindowExW(0, L"main", L"", style, 0, 0, width + 2 * frame_side,
                                  height + frame_bottom + frame_top, nullptr, nullptr, instance_handle, nullptr);
    if (!main_window) raise_error(0x00);
  } else {
    ShowWindow(main_window, SW_HIDE);
    SetWindowLongA(main_window, GWL_STYLE, (LONG)style);
  }
  // The frame at the monitor's scale, as large as the monitor's DPI asks where the window fits.
  INT_S32 extra_width = 2 * frame_side, extra_height = frame_bottom + frame_top;
  window_scale = full_screen ? 96
                             : fitting_scale(window_dpi(main_window), width, height, extra_width, extra_height,
                                             available_width, available_height);
  frame_width = width;
  frame_height = height;
  INT_S32 shown_width = scaled(width, window_scale), shown_height = scaled(height, window_scale);
  place_window((available_width - (shown_width + extra_width)) / 2, (available_height - (shown_height + extra_height)) / 2,
               shown_width, shown_height);
  set_title_text(title);
  ShowWindow(main_window, SW_SHOW);

  if (full_screen) {
    display_mode_bits = 32;
    if (!change_display_mode((INT_S16)width, (INT_S16)height, 32)) {
      display_mode_bits = 16;
      if (!change_display_mode((INT_S16)width, (INT_S16)height, 16)) raise_error(0x01);
    }
    display_mode_width = (INT_S16)width;
    display_mode_height = (INT_S16)height;
    full_screen_active = 1;
  }

  *client_width = (INT_S16)width;
  *client_height = (INT_S16)height;
  return 1;
}

// The main window's own device context (its class has CS_OWNDC), taken at its first present; it lives
// as long as the window.
static HDC present_context = nullptr;

void close_window(INT_S16 screen) {
  if ((screen != 0 && screen != -1) || !main_window) return;
  delete_gl_context();
  present_context = nullptr;
  if (full_screen_active) {
    ChangeDisplaySettingsA(nullptr, 0);
    full_screen_active = 0;
  }
  ShowWindow(main_window, SW_HIDE);
  DestroyWindow(main_window);
  main_window = nullptr;
}

static bool view_changed(const PIXEL_VIEW* view) {
  return view->changed_left != -1 && view->changed_right != -1 && view->changed_top != -1 &&
         view->changed_bottom != -1;
}

// The whole view, bottom row first as glDrawPixels reads it; a new buffer shows the whole view.
static bool present_with_gl(const PIXEL_VIEW* view) {
  bool whole = false;
  if (!presentation_buffer || presentation_width != view->width || presentation_height != view->height) {
    std::free(presentation_buffer);
    presentation_buffer = (INT_U32*)std::malloc((size_t)view->width * (size_t)view->height * sizeof(INT_U32));
    presentation_width = presentation_buffer ? (INT_S16)view->width : (INT_S16)0;
    presentation_height = presentation_buffer ? (INT_S16)view->height : (INT_S16)0;
    if (!presentation_buffer) return false;
    whole = true;
  }
  if (!full_redraw_flag && !whole && !view_changed(view)) return false;
  full_redraw_flag = 0;
  for (INT_S32 row = 0; row < view->height; row++)
    std::memcpy(presentation_buffer + (size_t)(view->height - 1 - row) * (size_t)view->width,
                view->pixels + (size_t)row * (size_t)view->pitch, (size_t)view->width * sizeof(INT_U32));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDrawPixels(view->width, view->height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, presentation_buffer);
  SwapBuffers(gl_device_context);
  activity_flag = 1;
  return true;
}

// The client pixels [left, right) x [top, bottom) of the scaled buffer worked out from the view: each is
// the frame's pixels under it, weighted by how much of the client pixel each covers (at a whole scale,
// the one frame pixel under it). A client pixel spans at most two frame pixels each way, as the scale is
// at least 1. Each is worked out from its own place alone, so that a part shown again matches the whole.
static void scale_view(const PIXEL_VIEW* view, INT_S32 left, INT_S32 top, INT_S32 right, INT_S32 bottom) {
  for (INT_S32 y = top; y < bottom; y++) {
    INT_S32 row = frame_coordinate(y);
    if (row >= view->height) row = view->height - 1;
    INT_S32 row_weight = (row + 1) * window_scale - y * 96;  // of 96, the rest is the row below
    if (row_weight > 96) row_weight = 96;
    INT_S32 next_row = row + 1 < view->height ? row + 1 : row;
    const INT_U32* upper = view->pixels + (size_t)row * (size_t)view->pitch;
    const INT_U32* lower = view->pixels + (size_t)next_row * (size_t)view->pitch;
    INT_U32* out = scaled_buffer + (size_t)y * (size_t)scaled_width;
    for (INT_S32 x = left; x < right; x++) {
      INT_S32 column = frame_coordinate(x);
      if (column >= view->width) column = view->width - 1;
      INT_S32 column_weight = (column + 1) * window_scale - x * 96;
      if (column_weight > 96) column_weight = 96;
      INT_S32 next_column = column + 1 < view->width ? column + 1 : column;
      if (row_weight == 96 && column_weight == 96) {
        out[x] = upper[column];
        continue;
      }
      const INT_U32 corners[4] = {upper[column], upper[next_column], lower[column], lower[next_column]};
      const INT_U32 weights[4] = {(INT_U32)(row_weight * column_weight), (INT_U32)(row_weight * (96 - column_weight)),
                                  (INT_U32)((96 - row_weight) * column_weight),
                                  (INT_U32)((96 - row_weight) * (96 - column_weight))};
      INT_U32 pixel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        INT_U32 sum = 0;
        for (int i = 0; i < 4; i++) sum += ((corners[i] >> shift) & 0xFF) * weights[i];
        pixel |= ((sum + 96 * 96 / 2) / (96 * 96)) << shift;
      }
      out[x] = pixel;
    }
  }
}

// A screen without a window (the test seam's) takes the frame as a window would, showing it nowhere, so
// that a pass which drew does not sleep there either.
bool host_present_view(INT_S16 screen, const PIXEL_VIEW* view) {
  if ((screen != 0 && screen != -1) || !view->pixels) return false;
  if (main_window && gl_context) return present_with_gl(view);
  if (!view_changed(view)) return false;
  INT_S32 left = view->changed_left, top = view->changed_top, right = view->changed_right,
          bottom = view->changed_bottom;
  INT_S32 height = view->height, pitch = view->pitch;
  const INT_U32* pixels = view->pixels;
  // A scaled window shows the client pixels that the changed area covers, worked out from the frame.
  if (main_window && window_scale != 96) {
    INT_S32 width = scaled(view->width, window_scale);
    height = scaled(view->height, window_scale);
    if (!scaled_buffer || scaled_width != width || scaled_height != height) {
      std::free(scaled_buffer);
      scaled_buffer = (INT_U32*)std::malloc((size_t)width * (size_t)height * sizeof(INT_U32));
      scaled_width = scaled_buffer ? width : 0;
      scaled_height = scaled_buffer ? height : 0;
      if (!scaled_buffer) return false;
    }
    left = left * window_scale / 96;
    top = top * window_scale / 96;
    right = scaled(right + 1, window_scale) - 1;
    bottom = scaled(bottom + 1, window_scale) - 1;
    scale_view(view, left, top, right + 1, bottom + 1);
    pixels = scaled_buffer;
    pitch = width;
  }
  if (main_window && !present_context) {
    present_context = GetDC(main_window);
    if (present_context) {
      SetMapMode(present_context, MM_TEXT);
      SetStretchBltMode(present_context, COLORONCOLOR);
    }
  }
  HDC device_context = present_context;
  if (device_context) {
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = pitch;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // The source rectangle counts from the bitmap's bottom even though the bitmap is top-down.
    StretchDIBits(device_context, left, top, right - left + 1, bottom - top + 1, left, height - bottom - 1,
                  right - left + 1, bottom - top + 1, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
  }
  activity_flag = 1;
  return true;
}

void window_dpi_changed(INT_S32 dpi, const RECT* suggested) {
  if (!main_window || full_screen_active || frame_width <= 0) return;
  RECT area = *suggested;
  MONITORINFO monitor;
  monitor.cbSize = sizeof(monitor);
  if (GetMonitorInfoA(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST), &monitor)) area = monitor.rcWork;
  INT_S32 extra_width, extra_height;
  window_extra(&extra_width, &extra_height);
  window_scale = fitting_scale(dpi, frame_width, frame_height, extra_width, extra_height, area.right - area.left,
                               area.bottom - area.top);
  place_window(suggested->left, suggested->top, scaled(frame_width, window_scale), scaled(frame_height, window_scale));
  InvalidateRect(main_window, nullptr, FALSE);
}

void set_window_title(const char* title, INT_S16 screen) {
  if (screen == 0 && main_window) set_title_text(title ? title : "");
}

INT_U8 is_screen_open(INT_S16 screen) { return screen == 0 && main_window ? 1 : 0; }
INT_U8 has_main_window() { return main_window ? 1 : 0; }
INT_U8 has_gl_context() { return gl_context ? 1 : 0; }

INT_S16 host_desktop_width() {
  RECT area;
  if (!GetClientRect(GetDesktopWindow(), &area)) return 0;
  return (INT_S16)(area.right - area.left);
}

INT_S16 host_desktop_height() {
  RECT area;
  if (!GetClientRect(GetDesktopWindow(), &area)) return 0;
  return (INT_S16)(area.bottom - area.top);
}

INT_U8 create_gl_context() {
  if (gl_context) return 1;
  if (!main_window) return 0;
  HDC device_context = GetDC(main_window);
  if (!device_context) return 0;
  PIXELFORMATDESCRIPTOR format;
  ZeroMemory(&format, sizeof(format));
  format.nSize = 40;
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 24;
  format.cDepthBits = 16;
  format.iLayerType = PFD_MAIN_PLANE;
  int chosen = ChoosePixelFormat(device_context, &format);
  if (chosen) SetPixelFormat(device_context, chosen, &format);
  HGLRC context = wglCreateContext(device_context);
  if (!context) {
    ReleaseDC(main_window, device_context);
    return 0;
  }
  wglMakeCurrent(device_context, context);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl_context = context;
  gl_device_context = device_context;
  full_redraw_flag = 1;
  return 1;
}

void delete_gl_context() {
  if (!gl_context) return;
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(gl_context);
  ReleaseDC(main_window, gl_device_context);
  gl_context = nullptr;
  gl_device_context = nullptr;
}

void set_full_redraw(INT_U8 on) { full_redraw_flag = on; }
