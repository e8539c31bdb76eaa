// Linux host layer: the main window — an X11 window on the display that DISPLAY names, or a window
// shown nowhere when a run asks for no display — its shaping, and the presentation of a view of its
// pixels: through shared memory where the X server offers it, else with XPutImage.
#include "x11_host.h"
#include "host_private.h"

#include <X11/Xatom.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "errors.h"
#include "velk_string.h"

Display* x_display = nullptr;
Window x_window = 0;
static bool x_window_popup = false, x_window_full_screen = false;  // the kind of window x_window is
INT_U8 window_open = 0;
Atom x_delete_window = 0;

static GC x_gc = nullptr;
static XImage* x_image = nullptr;        // wraps the presented view's pixels (fast path)
static INT_U32* x_image_pixels = nullptr;
static bool x_direct_pixels = false;     // the visual takes 0x00RRGGBB words as they are
static INT_S16 available_width = -1;
static INT_S16 available_height = -1;

// The desktop of a run without a display.
static const INT_S16 HEADLESS_DESKTOP_WIDTH = 1920;
static const INT_S16 HEADLESS_DESKTOP_HEIGHT = 1080;
// How long a display may take to answer a new connection.
static const int DISPLAY_ANSWER_MS = 5000;

// Only a run that asks for it goes without a display: any other that finds none is told so.
static bool display_wanted() {
  const char* value = std::getenv(HEADLESS_VARIABLE);
  return !(value && value[0] && std::strcmp(value, "0") != 0);
}

static void forget_x_image() {
  if (x_image) {
    x_image->data = nullptr;  // the pixels belong to the view's owner
    XDestroyImage(x_image);
    x_image = nullptr;
  }
  x_image_pixels = nullptr;
}

// A failed X request (a resource the server refuses) must not end the program as Xlib's default
// handler does; the operation that made it simply has no effect.
static int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// ---------------------------------------------------------------------------------------------------
// Presenting through shared memory: the server reads the pixels from a segment that it maps too, so the
// connection carries none. Two segments take turns; one is written again only once the server has said
// that it finished reading it (its completion event), so that no present shows a half-written frame.

struct SHARED_SEGMENT {
  XShmSegmentInfo info;
  XImage* image;  // null: not made
  bool busy;      // put, its completion not yet seen
};
static SHARED_SEGMENT shared_segments[2] = {};
static int shared_next = 0;             // the segment the next present writes
static int shared_completion = -1;      // the completion event's type, once segments were made on the display
static INT_S32 shared_width = 0, shared_height = 0;  // the size they were made for (tried, at least)
static bool shared_refused = false;     // the server cannot take shared memory: plain presents only
// How long a present waits for the server to finish reading a segment before it gives shared memory up.
static const int SHARED_WAIT_MS = 1000;

static bool x_error_seen = false;
static int note_x_error(Display*, XErrorEvent*) {
  x_error_seen = true;
  return 0;
}

// Lets go of a segment (the server too, when it attached it).
static void forget_segment(SHARED_SEGMENT* segment, bool attached = true) {
  if (!segment->image) return;
  if (attached && x_display) XShmDetach(x_display, &segment->info);
  segment->image->data = nullptr;  // the segment's memory, let go of below
  XDestroyImage(segment->image);
  shmdt(segment->info.shmaddr);
  *segment = SHARED_SEGMENT();
}

static void forget_shared_segments() {
  for (SHARED_SEGMENT& segment : shared_segments) forget_segment(&segment);
  shared_width = shared_height = 0;
}

// One segment of the size, attached by the server; false when the server cannot attach it (a display
// on another machine, where the attach request fails).
static bool make_segment(SHARED_SEGMENT* segment, INT_S32 width, INT_S32 height) {
  int s = DefaultScreen(x_display);
  *segment = SHARED_SEGMENT();
  XImage* image = XShmCreateImage(x_display, DefaultVisual(x_display, s), DefaultDepth(x_display, s), ZPixmap,
                                  nullptr, &segment->info, (unsigned)width, (unsigned)height);
  if (!image) return false;
  segment->info.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * (size_t)height, IPC_CREAT | 0600);
  if (segment->info.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  segment->info.shmaddr = (char*)shmat(segment->info.shmid, nullptr, 0);
  if (segment->info.shmaddr == (char*)-1) {
    shmctl(segment->info.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  image->data = segment->info.shmaddr;
  image->byte_order = LSBFirst;
  segment->info.readOnly = True;
  x_error_seen = false;
  XSetErrorHandler(note_x_error);
  XShmAttach(x_display, &segment->info);
  XSync(x_display, False);
  XSetErrorHandler(ignore_x_error);
  // The segment goes once both sides have let it go.
  shmctl(segment->info.shmid, IPC_RMID, nullptr);
  segment->image = image;
  if (!x_error_seen) return true;
  forget_segment(segment, false);
  return false;
}

// Segments of the view's size, made when first needed; false when presents go without them.
static bool shared_segments_ready(INT_S32 width, INT_S32 height) {
  if (shared_segments[1].image && shared_width == width && shared_height == height) return true;
  if (shared_refused || !x_direct_pixels || (shared_width == width && shared_height == height)) return false;
  forget_shared_segments();
  shared_width = width;
  shared_height = height;
  if (!XShmQueryExtension(x_display) || !make_segment(&shared_segments[0], width, height) ||
      !make_segment(&shared_segments[1], width, height)) {
    forget_segment(&shared_segments[0]);
    shared_refused = x_error_seen;
    return false;
  }
  shared_completion = XShmGetEventBase(x_display) + ShmCompletion;
  shared_next = 0;
  return true;
}

bool take_present_event(XEvent* event) {
  if (shared_completion < 0 || event->type != shared_completion) return false;
  ShmSeg finished = reinterpret_cast<XShmCompletionEvent*>(event)->shmseg;
  for (SHARED_SEGMENT& segment : shared_segments)
    if (segment.image && segment.info.shmseg == finished) segment.busy = false;
  return true;
}

// Waits until the server has read the segment; false when it does not say so in time (shared memory is
// given up then).
static bool wait_for_segment(SHARED_SEGMENT* segment) {
  for (int waited = 0; segment->busy && waited < SHARED_WAIT_MS; waited++) {
    XEvent event;
    // Only completions are taken: other events stay queued for the message pump.
    if (XCheckTypedEvent(x_display, shared_completion, &event)) {
      take_present_event(&event);
      continue;
    }
    struct pollfd connection = {ConnectionNumber(x_display), POLLIN, 0};
    poll(&connection, 1, 1);
  }
  if (!segment->busy) return true;
  forget_shared_segments();
  shared_refused = true;
  return false;
}

// The rectangle through a shared segment; false when shared memory cannot be used for it.
static bool put_shared(const PIXEL_VIEW* view, INT_S32 left, INT_S32 top, INT_S32 width, INT_S32 height) {
  if (!shared_segments_ready(view->width, view->height)) return false;
  SHARED_SEGMENT* segment = &shared_segments[shared_next];
  if (segment->busy && !wait_for_segment(segment)) return false;
  XImage* image = segment->image;
  for (INT_S32 row = top; row < top + height; row++)
    std::memcpy(image->data + (size_t)row * (size_t)image->bytes_per_line + (size_t)left * 4,
                view->pixels + (size_t)row * (size_t)view->pitch + left, (size_t)width * 4);
  XShmPutImage(x_display, x_window, x_gc, image, left, top, left, top, (unsigned)width, (unsigned)height, True);
  segment->busy = true;
  shared_next ^= 1;
  return true;
}

// Opens the X connection once; false when DISPLAY names no reachable server.
static bool open_display() {
  if (x_display) return true;
  x_display = XOpenDisplay(nullptr);
  if (!x_display) return false;
  XSetErrorHandler(ignore_x_error);
  x_delete_window = XInternAtom(x_display, "WM_DELETE_WINDOW", False);
  int screen = DefaultScreen(x_display);
  Visual* visual = DefaultVisual(x_display, screen);
  int depth = DefaultDepth(x_display, screen);
  // The pixels can go out unconverted when the server keeps 24-bit colour in 32-bit words with the
  // same channel order as the image.
  x_direct_pixels = false;
  if ((depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
      visual->blue_mask == 0xFF && ImageByteOrder(x_display) == LSBFirst) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(x_display, &count);
    for (int i = 0; i < count; i++)
      if (formats[i].depth == depth && formats[i].bits_per_pixel == 32) x_direct_pixels = true;
    if (formats) XFree(formats);
  }
  return true;
}

// Closes every descriptor from first on, for a system without close_range (Linux before 5.9, or a
// container's filter that refuses it): those open are listed from /proc/self/fd, with the system call
// itself and memory of the stack only, as in the child of a process that may run threads. Only where that
// list cannot be read does it close every number, up to a bound: a limit of open files may be a billion,
// which would take minutes.
static void close_descriptors_from(int first) {
  int listing = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  long got = -1;
  if (listing >= 0) {
    alignas(8) char buffer[4096];
    while ((got = syscall(SYS_getdents64, listing, buffer, sizeof buffer)) > 0) {
      for (long at = 0; at < got;) {
        // struct linux_dirent64: a 64-bit inode and offset, a 16-bit record length, a type byte, the name.
        unsigned short length;
        std::memcpy(&length, buffer + at + 16, sizeof length);
        const char* name = buffer + at + 19;
        long number = name[0] ? 0 : -1;
        for (const char* digit = name; *digit && number >= 0; digit++)
          number = *digit >= '0' && *digit <= '9' && number < 0x7FFFFFFF / 10 ? number * 10 + (*digit - '0') : -1;
        if (number >= first && number != listing) close((int)number);
        at += length ? length : got;
      }
    }
    close(listing);
  }
  if (got == 0) return;
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit <= 0 || limit > 65536) limit = 65536;
  for (long descriptor = first; descriptor < limit; descriptor++) close((int)descriptor);
}

// A server that takes the connection and never answers (one stopped, or a forwarding whose far end is
// gone) would hold XOpenDisplay for ever: a child process tries it first, within a time limit. The
// child never outlives the run, whatever ends it (a kill included: the system ends it with its
// parent), and holds none of the run's files: its standard streams lead nowhere and every other
// descriptor is closed, so that a pipe that reads the run's output ends with the run. Requests to end
// the run are the run's to take.
static bool display_answers() {
  pid_t parent = getpid();
  pid_t child = fork();
  if (child < 0) return true;  // no child: the program's own attempt decides
  if (child == 0) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(1);
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, SIG_IGN);
    int nothing = open("/dev/null", O_RDWR);
    for (int descriptor = 0; descriptor < 3; descriptor++)
      if (nothing < 0 || dup2(nothing, descriptor) < 0) _exit(1);
    if (close_range(3, ~0u, 0) != 0) close_descriptors_from(3);
    _exit(XOpenDisplay(nullptr) ? 0 : 1);
  }
  for (int waited = 0; waited < DISPLAY_ANSWER_MS; waited += 10) {
    int status = 0;
    pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (ended < 0) return true;
    sleep_milliseconds(10);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return false;
}

// The display that was found not to answer (its name), so that it is not waited for again.
static std::string unanswered_display;

const char* display_problem() {
  static char problem[300];
  if (!display_wanted() || x_display) return nullptr;
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0]) return "DISPLAY is not set";
  if (display_answers() && open_display()) return nullptr;
  unanswered_display = name;
  std::snprintf(problem, sizeof problem, "the display \"%.200s\" does not answer", name);
  return problem;
}

Display* open_own_display() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0] || unanswered_display == name) return nullptr;
  // The main window's display has answered; any other is tried in a child first, within the time limit.
  if (!x_display && !display_answers()) {
    unanswered_display = name;
    return nullptr;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display) XSetErrorHandler(ignore_x_error);
  return display;
}

static void close_display() {
  if (!x_display) return;
  forget_pointer_shapes();
  forget_x_image();
  forget_shared_segments();
  shared_refused = false;
  shared_completion = -1;
  if (x_gc) XFreeGC(x_display, x_gc);
  x_gc = nullptr;
  XCloseDisplay(x_display);
  x_display = nullptr;
}

// The space a window may take: the work area that the window manager announces, else the screen.
static void measure_x_space(bool full_screen, INT_S16* width, INT_S16* height) {
  int screen = DefaultScreen(x_display);
  long w = DisplayWidth(x_display, screen), h = DisplayHeight(x_display, screen);
  if (!full_screen) {
    Atom work_area = XInternAtom(x_display, "_NET_WORKAREA", True);
    Atom type;
    int format;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (work_area != None &&
        XGetWindowProperty(x_display, RootWindow(x_display, screen), work_area, 0, 4, False, XA_CARDINAL,
                           &type, &format, &items, &after, &data) == Success &&
        data && format == 32 && items >= 4) {
      long* values = (long*)data;
      if (values[2] > 0 && values[3] > 0) {
        w = values[2];
        h = values[3];
      }
    }
    if (data) XFree(data);
  }
  *width = (INT_S16)(w > 0x7FFF ? 0x7FFF : w);
  *height = (INT_S16)(h > 0x7FFF ? 0x7FFF : h);
}

// Fixed size, and no frame for a popup (Motif hints), full screen asked of the window manager.
static void set_window_hints(INT_S16 width, INT_S16 height, bool popup, bool full_screen, int x, int y) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(x_display, x_window, hints);
    XFree(hints);
  }
  Atom motif = XInternAtom(x_display, "_MOTIF_WM_HINTS", False);
  long motif_hints[5] = {2, 0, popup ? 0 : 1, 0, 0};  // flags: decorations; decorations: none / all
  XChangeProperty(x_display, x_window, motif, motif, 32, PropModeReplace, (unsigned char*)motif_hints, 5);
  Atom state = XInternAtom(x_display, "_NET_WM_STATE", False);
  Atom full = XInternAtom(x_display, "_NET_WM_STATE_FULLSCREEN", False);
  if (full_screen) XChangeProperty(x_display, x_window, state, XA_ATOM, 32, PropModeReplace, (unsigned char*)&full, 1);
  else XDeleteProperty(x_display, x_window, state);
}

static void destroy_x_window() {
  if (x_display && x_window) {
    forget_x_image();
    forget_shared_segments();
    if (x_gc) XFreeGC(x_display, x_gc);
    x_gc = nullptr;
    XUnmapWindow(x_display, x_window);
    XDestroyWindow(x_display, x_window);
    XSync(x_display, False);
  }
  x_window = 0;
}

INT_U8 open_window(const GRAPHICS_MODE* mode, INT_S16 screen, INT_S16* client_width, INT_S16* client_height) {
  if (screen != 0 || !mode) return 0;
  const char* title = mode->title ? mode->title : "";
  INT_S32 width, height;
  bool full_screen = mode->full_screen != 0;
  bool popup = full_screen || mode->borderless;
  // This host never changes the display mode; full screen is a frameless window over the screen.
  full_screen_active = 0;

  bool use_x = display_wanted();
  if (use_x && !open_display()) raise_error(0x00, "no X display");
  if (use_x) measure_x_space(full_screen, &available_width, &available_height);
  else {
    available_width = HEADLESS_DESKTOP_WIDTH;
    available_height = HEADLESS_DESKTOP_HEIGHT;
  }
  host_mode_size(mode, available_width, available_height, &width, &height);
  // The window manager's frame lies outside the client area, so only the client must fit.
  if (!popup) {
    if (width > available_width) width = available_width;
    if (height > available_height) height = available_height;
  } else if (full_screen) {
    available_width = (INT_S16)width;
    available_height = (INT_S16)height;
  }
  int x = (available_width - width) / 2, y = (available_height - height) / 2;
  if (!host_mode_size_fits(mode, width, height)) return 0;
  if (full_screen) x = y = 0;

  if (use_x) {
    // A window of another kind (framed, frameless, full screen) is made anew: window managers read those
    // hints as they take a window on.
    if (x_window && (popup != x_window_popup || full_screen != x_window_full_screen)) destroy_x_window();
    bool made = !x_window;
    if (made) {
      int s = DefaultScreen(x_display);
      x_window = XCreateSimpleWindow(x_display, RootWindow(x_display, s), x, y, (unsigned)width,
                                     (unsigned)height, 0, BlackPixel(x_display, s), BlackPixel(x_display, s));
      if (!x_window) raise_error(0x00, "no X window");
      XSelectInput(x_display, x_window,
                   ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                       PointerMotionMask | EnterWindowMask | LeaveWindowMask | FocusChangeMask |
                       StructureNotifyMask);
      XSetWMProtocols(x_display, x_window, &x_delete_window, 1);
      x_gc = XCreateGC(x_display, x_window, 0, nullptr);
      XClassHint* class_hint = XAllocClassHint();
      if (class_hint) {
        class_hint->res_name = (char*)"main";
        class_hint->res_class = (char*)"main";
        XSetClassHint(x_display, x_window, class_hint);
        XFree(class_hint);
      }
      x_window_popup = popup;
      x_window_full_screen = full_screen;
    }
    // The size hints come first, so that the window manager allows the size.
    set_window_hints((INT_S16)width, (INT_S16)height, popup, full_screen, x, y);
    set_x_window_title(x_display, x_window, title);
    if (made) {
      XMapRaised(x_display, x_window);
    } else {
      // The window shown takes its new size and place where it stands. Unmapped and mapped again at
      // once, it could be lost: the window manager, still withdrawing it, destroys its frame with the
      // window inside.
      XMoveResizeWindow(x_display, x_window, x, y, (unsigned)width, (unsigned)height);
      XRaiseWindow(x_display, x_window);
    }
    XSync(x_display, False);
  }
  window_open = 1;
  if (full_screen) full_screen_active = 1;

  *client_width = (INT_S16)width;
  *client_height = (INT_S16)height;
  return 1;
}

void close_window(INT_S16 screen) {
  if (screen != 0 && screen != -1) return;
  // The connection stays open for the next window and goes only with every screen (the program's
  // end): a new connection may be given the identifiers of the old one, and a window manager still
  // busy with the old window then moves and sizes the new window that has its number.
  if (window_open) {
    full_screen_active = 0;
    destroy_x_window();
    window_open = 0;
  }
  if (screen == -1) close_display();
}

// Sends the rectangle of the view to the window, converting pixel by pixel when the visual differs from
// the view's layout.
static void put_rectangle(const PIXEL_VIEW* view, INT_S32 left, INT_S32 top, INT_S32 width, INT_S32 height) {
  if (!x_gc || put_shared(view, left, top, width, height)) return;
  int s = DefaultScreen(x_display);
  if (x_direct_pixels) {
    if (!x_image || x_image_pixels != view->pixels || x_image->width != view->width ||
        x_image->height != view->height) {
      forget_x_image();
      x_image = XCreateImage(x_display, DefaultVisual(x_display, s), DefaultDepth(x_display, s), ZPixmap, 0,
                             (char*)view->pixels, (unsigned)view->width, (unsigned)view->height, 32,
                             view->pitch * 4);
      if (!x_image) return;
      x_image->byte_order = LSBFirst;
      x_image_pixels = view->pixels;
    }
    XPutImage(x_display, x_window, x_gc, x_image, left, top, left, top, (unsigned)width, (unsigned)height);
    return;
  }
  XImage* part = XCreateImage(x_display, DefaultVisual(x_display, s), DefaultDepth(x_display, s), ZPixmap, 0,
                              nullptr, (unsigned)width, (unsigned)height, 32, 0);
  if (!part) return;
  part->data = (char*)std::malloc((size_t)part->bytes_per_line * (size_t)height);
  if (!part->data) {
    XDestroyImage(part);
    return;
  }
  Visual* visual = DefaultVisual(x_display, s);
  auto place = [](INT_U32 value, unsigned long mask) -> unsigned long {
    // value is 0..255; scale it into the mask's bits
    if (!mask) return 0;
    int shift = 0, bits = 0;
    while (!((mask >> shift) & 1)) shift++;
    while ((mask >> (shift + bits)) & 1) bits++;
    return ((unsigned long)(value >> (8 - (bits > 8 ? 8 : bits))) << shift) & mask;
  };
  for (INT_S32 row = 0; row < height; row++) {
    const INT_U32* source = view->pixels + (size_t)(top + row) * (size_t)view->pitch + left;
    for (INT_S32 column = 0; column < width; column++) {
      INT_U32 p = source[column];
      unsigned long pixel = place((p >> 16) & 0xFF, visual->red_mask) | place((p >> 8) & 0xFF, visual->green_mask) |
                            place(p & 0xFF, visual->blue_mask);
      XPutPixel(part, column, row, pixel);
    }
  }
  XPutImage(x_display, x_window, x_gc, part, 0, 0, left, top, (unsigned)width, (unsigned)height);
  XDestroyImage(part);
}

// A screen without a window (the test seam's) takes the frame as a window would, showing it nowhere, so
// that a pass which drew does not sleep there either.
bool host_present_view(INT_S16 screen, const PIXEL_VIEW* view) {
  if ((screen != 0 && screen != -1) || !view->pixels) return false;
  INT_S32 left = view->changed_left, top = view->changed_top, right = view->changed_right,
          bottom = view->changed_bottom;
  if (left == -1 || right == -1 || top == -1 || bottom == -1) return false;
  if (window_open && x_display && x_window) {
    put_rectangle(view, left, top, right - left + 1, bottom - top + 1);
    XFlush(x_display);
  }
  activity_flag = 1;
  return true;
}

void set_window_title(const char* title, INT_S16 screen) {
  if (screen != 0 || !x_display || !x_window) return;
  set_x_window_title(x_display, x_window, title);
  XFlush(x_display);
}

void set_x_window_title(Display* display, Window window, const char* title) {
  if (!title) title = "";
  // The characters as the text is drawn (a damaged group left out), a lone half of a pair as '?', spelled
  // again so that it has its one UTF-8 form; WM_NAME takes the Latin-1 ones and '?' for the others.
  std::string latin;
  std::vector<char> clean(6 * std::strlen(title) + 3);
  WIDE_RUN_WRITER writer(clean.data(), clean.size());
  WIDE_RUN_READER reader(title);
  INT_U32 character;
  while (reader.next_character(&character)) {
    if (character >= 0xD800 && character <= 0xDFFF) character = '?';
    latin += character <= 0xFF ? (char)character : '?';
    writer.add(character);
  }
  writer.finish();
  XStoreName(display, window, latin.c_str());
  std::vector<char> utf8(2 * std::strlen(clean.data()) + 1);
  if (!text_to_utf8(clean.data(), utf8.data(), utf8.size())) utf8.assign(1, 0);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), XInternAtom(display, "UTF8_STRING", False),
                  8, PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()), (int)std::strlen(utf8.data()));
}

INT_U8 is_screen_open(INT_S16 screen) { return screen == 0 && window_open ? 1 : 0; }
INT_U8 has_main_window() { return window_open; }

static INT_S16 desktop_size(bool want_width) {
  if (display_wanted()) {
    Display* display = x_display ? x_display : XOpenDisplay(nullptr);
    if (display) {
      int s = DefaultScreen(display);
      INT_S16 size = (INT_S16)(want_width ? DisplayWidth(display, s) : DisplayHeight(display, s));
      if (display != x_display) XCloseDisplay(display);
      return size;
    }
  }
  return want_width ? HEADLESS_DESKTOP_WIDTH : HEADLESS_DESKTOP_HEIGHT;
}
INT_S16 host_desktop_width() { return desktop_size(true); }
INT_S16 host_desktop_height() { return desktop_size(false); }

// There is no OpenGL presentation on this host.
INT_U8 has_gl_context() { return 0; }
INT_U8 create_gl_context() { return 0; }
void delete_gl_context() {}
void set_full_redraw(INT_U8 on) { full_redraw_flag = on; }
