// Windows host layer: the main window of class "main", its display modes, and the presentation of a view
// of its pixels with GDI, or with OpenGL while a context exists.
#include "win32_host.h"
#include "host_private.h"

#include <GL/gl.h>
#include <cstdlib>
#include <cstring>

#include "errors.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

HWND main_window = nullptr;
INT_S16 frame_width = 0;
INT_S16 frame_height = 0;
INT_S16 top_border = 0;
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

// The title in UTF-16, which the window of a wide class keeps and shows whole whatever the code page.
static void set_title_text(const char* title) {
  std::vector<WCHAR> wide;
  if (wide_text(title, &wide))
    SetWindowTextW(main_window, wide.data());
  else
    SetWindowTextA(main_window, title);
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
  if (!popup) {
    style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    frame_width = (INT_S16)GetSystemMetrics(SM_CXFIXEDFRAME);
    frame_height = (INT_S16)GetSystemMetrics(SM_CYFIXEDFRAME);
    top_border = (INT_S16)(GetSystemMetrics(SM_CYCAPTION) + frame_height);
    if (width > available_width - 2 * frame_width) width = available_width - 2 * frame_width;
    if (height > available_height - frame_height - top_border) height = available_height - frame_height - top_border;
  } else {
    style = WS_POPUP;
    frame_width = frame_height = top_border = 0;
    if (full_screen) {
      available_width = (INT_S16)width;
      available_height = (INT_S16)height;
    }
  }
  INT_S32 x = (available_width - (width + 2 * frame_width)) / 2;
  INT_S32 y = (available_height - (height + frame_height + top_border)) / 2;
  if (!host_mode_size_fits(mode, width, height)) return 0;

  INT_S32 outer_width = width + 2 * frame_width, outer_height = height + frame_height + top_border;
  if (!main_window) {
    register_main_class();
    main_window = CreateWindowExW(0, L"main", L"", style, x, y, outer_width, outer_height, nullptr, nullptr,
                                  instance_handle, nullptr);
    if (!main_window) raise_error(0x00);
  } else {
    ShowWindow(main_window, SW_HIDE);
    SetWindowLongA(main_window, GWL_STYLE, (LONG)style);
    MoveWindow(main_window, x, y, outer_width, outer_height, FALSE);
  }
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

// A screen without a window (the test seam's) takes the frame as a window would, showing it nowhere, so
// that a pass which drew does not sleep there either.
bool host_present_view(INT_S16 screen, const PIXEL_VIEW* view) {
  if ((screen != 0 && screen != -1) || !view->pixels) return false;
  if (main_window && gl_context) return present_with_gl(view);
  if (!view_changed(view)) return false;
  INT_S32 left = view->changed_left, top = view->changed_top, right = view->changed_right,
          bottom = view->changed_bottom;
  INT_S32 height = view->height;
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
    info.bmiHeader.biWidth = view->pitch;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // The source rectangle counts from the bitmap's bottom even though the bitmap is top-down.
    StretchDIBits(device_context, left, top, right - left + 1, bottom - top + 1, left, height - bottom - 1,
                  right - left + 1, bottom - top + 1, view->pixels, &info, DIB_RGB_COLORS, SRCCOPY);
  }
  activity_flag = 1;
  return true;
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
