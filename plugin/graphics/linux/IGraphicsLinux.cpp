#include "IGraphicsLinux.h"

#include "IControls.h"
#include "IParam.h"
#include "LinuxKit.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace zlinux;

namespace {

using Clock = std::chrono::steady_clock;

// The editor's key numbers: space, the arrows, digits, letters; -1 for any other key.
int EditorKey(KeySym sym)
{
  switch (sym) {
  case XK_space: return 0;
  case XK_Up: return 1;
  case XK_Down: return 2;
  case XK_Left: return 3;
  case XK_Right: return 4;
  default: break;
  }
  if (sym >= XK_0 && sym <= XK_9) return 5 + static_cast<int>(sym - XK_0);
  if (sym >= XK_a && sym <= XK_z) return 15 + static_cast<int>(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return 15 + static_cast<int>(sym - XK_A);
  return -1;
}

} // namespace

// --- the editor ---

IGraphicsLinux::IGraphicsLinux(IPluginBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps), mImpl(std::make_unique<Impl>(this))
{
}

IGraphicsLinux::~IGraphicsLinux()
{
  CloseWindow();
}

IGraphics* IGraphicsLinux::Create(IPluginBase* plug, int width, int height, int fps)
{
  return new IGraphicsLinux(plug, width, height, fps);
}

void* IGraphicsLinux::OpenWindow(void* parent)
{
  CloseWindow();
  if (!mImpl->Open(static_cast<Window>(reinterpret_cast<uintptr_t>(parent)))) return nullptr;
  SetWindowTitle(mTitle);
  return GetWindow();
}

void IGraphicsLinux::CloseWindow()
{
  mImpl->Close();
}

void* IGraphicsLinux::GetWindow()
{
  return mImpl->window ? reinterpret_cast<void*>(static_cast<uintptr_t>(mImpl->window)) : nullptr;
}

unsigned long IGraphicsLinux::WindowId() const
{
  return mImpl->window;
}

int IGraphicsLinux::ConnectionNumber() const
{
  return mImpl->display ? XConnectionNumber(mImpl->display) : -1;
}

int IGraphicsLinux::MillisecondsToNextTick() const
{
  return mImpl->MillisecondsToTick();
}

bool IGraphicsLinux::TextEntryOpen() const
{
  return mImpl->entry != nullptr;
}

bool IGraphicsLinux::ProcessEvents()
{
  Impl& x = *mImpl;
  x.ReapChildren();
  if (!x.display) return !x.closeRequested;
  while (x.display && XPending(x.display)) {
    XEvent event;
    XNextEvent(x.display, &event);
    x.HandleEvent(event);
  }
  x.TickIfDue();
  if (x.display) XFlush(x.display);
  return !x.closeRequested;
}

void IGraphicsLinux::SetWindowTitle(const std::string& title)
{
  mTitle = title;
  Impl& x = *mImpl;
  if (!x.window || x.parent) return;
  XStoreName(x.display, x.window, title.c_str());
  XChangeProperty(x.display, x.window, x.netWmName, x.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XFlush(x.display);
}

bool IGraphicsLinux::DrawScreen(const IRECT& rect)
{
  Impl& x = *mImpl;
  const RstBitmap* surface = GetBits();
  if (!x.window || !surface) return true;
  // The dirty rectangle's right and bottom edges are drawn too.
  const int l = std::max(rect.L, 0), t = std::max(rect.T, 0);
  const int r = std::min(rect.R + 1, surface->Width()), b = std::min(rect.B + 1, surface->Height());
  if (r > l && b > t) x.Put(*surface, l, t, r - l, b - t, x.window, l, t);
  return true;
}

void IGraphicsLinux::Resize(int width, int height)
{
  if (width == Width() && height == Height() && NControls()) {
    // The panel is rebuilt at the same size: only the controls go.
    IGraphics::Resize(width, height);
    return;
  }
  IGraphics::Resize(width, height);
  Impl& x = *mImpl;
  if (!x.window) return;
  if (!x.parent) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(x.display, x.window, &hints);
  }
  XResizeWindow(x.display, x.window, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void IGraphicsLinux::HideMouseCursor()
{
  Impl& x = *mImpl;
  if (!x.window || x.cursorHidden) return;
  Window rootReturn, child;
  int winX, winY;
  unsigned mask;
  if (!XQueryPointer(x.display, x.window, &rootReturn, &child, &x.hiddenAtX, &x.hiddenAtY, &winX, &winY,
                     &mask))
    return;
  XDefineCursor(x.display, x.window, x.blankCursor);
  x.cursorHidden = true;
}

void IGraphicsLinux::ShowMouseCursor()
{
  Impl& x = *mImpl;
  if (!x.window || !x.cursorHidden) return;
  XWarpPointer(x.display, 0, x.root, 0, 0, 0, 0, x.hiddenAtX, x.hiddenAtY);
  XUndefineCursor(x.display, x.window);
  x.cursorHidden = false;
}

// --- opening and closing ---

bool IGraphicsLinux::Impl::Open(Window parentWindow)
{
  display = XOpenDisplay(nullptr);
  if (!display) return false;
  screen = DefaultScreen(display);
  root = RootWindow(display, screen);
  visual = DefaultVisual(display, screen);
  depth = DefaultDepth(display, screen);
  parent = parentWindow;

  // Our pixels are 32-bit 0xAARRGGBB: a 24-bit true-colour visual with the usual masks
  // takes them as they are; anything else is converted pixel by pixel.
  int nFormats = 0;
  int bitsPerPixel = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(display, &nFormats)) {
    for (int i = 0; i < nFormats; ++i) {
      if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  directPixels = depth >= 24 && bitsPerPixel == 32 && visual->red_mask == 0xFF0000 &&
                 visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;

  const char* names[] = {"WM_PROTOCOLS",
                         "WM_DELETE_WINDOW",
                         "_NET_WM_NAME",
                         "UTF8_STRING",
                         "CLIPBOARD",
                         "ZORVA_SELECTION",
                         "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_WINDOW_TYPE_DIALOG",
                         "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                         "_NET_WM_STATE",
                         "_NET_WM_STATE_MODAL"};
  Atom atoms[std::size(names)];
  XInternAtoms(display, const_cast<char**>(names), static_cast<int>(std::size(names)), False, atoms);
  wmProtocols = atoms[0];
  wmDelete = atoms[1];
  netWmName = atoms[2];
  utf8String = atoms[3];
  clipboard = atoms[4];
  selectionProperty = atoms[5];
  windowType = atoms[6];
  typeDialog = atoms[7];
  typeMenu = atoms[8];
  wmState = atoms[9];
  stateModal = atoms[10];

  if (const char* interval = XGetDefault(display, "zorva", "multiClickTime")) {
    const int ms = std::atoi(interval);
    if (ms > 0) multiClickMs = ms;
  }

  const long events = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                      StructureNotifyMask | LeaveWindowMask;
  window = MakeWindow(parent ? parent : root, 0, 0, gui->Width(), gui->Height(), false, events);
  gc = XCreateGC(display, window, 0, nullptr);

  char empty[1] = {0};
  Pixmap blank = XCreateBitmapFromData(display, window, empty, 1, 1);
  XColor black{};
  blankCursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
  XFreePixmap(display, blank);

  if (!parent) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = gui->Width();
    hints.min_height = hints.max_height = gui->Height();
    XSetWMNormalHints(display, window, &hints);
    XClassHint classHint{const_cast<char*>("zorva"), const_cast<char*>("Zorva")};
    XSetClassHint(display, window, &classHint);
    XSetWMProtocols(display, window, &wmDelete, 1);
  }
  XMapWindow(display, window);
  XFlush(display);

  closeRequested = false;
  pressedButton = 0;
  nextTick = Clock::now();
  gui->SetAllControlsDirty();
  return true;
}

void IGraphicsLinux::Impl::Close()
{
  if (entry) EndEntry(false);
  if (!display) return;
  if (cursorHidden) gui->ShowMouseCursor();
  if (window) XDestroyWindow(display, window);
  if (gc) XFreeGC(display, gc);
  if (blankCursor) XFreeCursor(display, blankCursor);
  XCloseDisplay(display);
  display = nullptr;
  window = parent = 0;
  gc = nullptr;
  blankCursor = 0;
  pressedButton = 0;
  knobHeld = false;
}

Window IGraphicsLinux::Impl::MakeWindow(Window parentWindow, int x, int y, int w, int h,
                                        bool overrideRedirect, long events)
{
  XSetWindowAttributes attributes{};
  attributes.colormap = DefaultColormap(display, screen);
  attributes.background_pixmap = 0; // no flashing background: we paint everything
  attributes.border_pixel = 0;
  attributes.event_mask = events;
  attributes.override_redirect = overrideRedirect ? True : False;
  attributes.save_under = overrideRedirect ? True : False;
  return XCreateWindow(display, parentWindow, x, y, static_cast<unsigned>(std::max(w, 1)),
                       static_cast<unsigned>(std::max(h, 1)), 0, depth, InputOutput, visual,
                       CWColormap | CWBackPixmap | CWBorderPixel | CWEventMask | CWOverrideRedirect |
                           CWSaveUnder,
                       &attributes);
}

Window IGraphicsLinux::Impl::TopLevelOf(Window w) const
{
  // The panel's own window when it is top-level, else the host's window holding it.
  for (;;) {
    Window rootReturn, parentReturn, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(display, w, &rootReturn, &parentReturn, &kids, &n)) return w;
    if (kids) XFree(kids);
    if (parentReturn == rootReturn || !parentReturn) return w;
    w = parentReturn;
  }
}

void IGraphicsLinux::Impl::RootPosition(int x, int y, int* rootX, int* rootY) const
{
  Window child;
  if (!XTranslateCoordinates(display, window, root, x, y, rootX, rootY, &child)) {
    *rootX = x;
    *rootY = y;
  }
}

void IGraphicsLinux::Impl::ScreenSize(int* w, int* h) const
{
  *w = DisplayWidth(display, screen);
  *h = DisplayHeight(display, screen);
}

RstFont* IGraphicsLinux::Impl::UIFont(int size, bool bold)
{
  IText text(size, COLOR_BLACK, "Arial", bold ? IText::kStyleBold : IText::kStyleNormal, IText::kAlignNear);
  return gui->CacheFont(&text);
}

void IGraphicsLinux::Impl::Put(const RstBitmap& bitmap, int srcX, int srcY, int w, int h, Window target,
                               int dstX, int dstY)
{
  if (!display || !target) return;
  w = std::min(w, bitmap.Width() - srcX);
  h = std::min(h, bitmap.Height() - srcY);
  if (w <= 0 || h <= 0 || srcX < 0 || srcY < 0) return;
  if (directPixels) {
    // The image only borrows the bitmap's memory for the copy.
    char* data = reinterpret_cast<char*>(const_cast<RstPixel*>(bitmap.Row(0)));
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                                 static_cast<unsigned>(bitmap.Width()),
                                 static_cast<unsigned>(bitmap.Height()), 32, bitmap.RowSpan());
    if (!image) return;
    const uint16_t probe = 1;
    image->byte_order = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
    XPutImage(display, target, gc, image, srcX, srcY, dstX, dstY, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  if (!image) return;
  image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * h));
  if (!image->data) {
    XDestroyImage(image);
    return;
  }
  auto scale = [](unsigned value, unsigned long mask) {
    if (!mask) return 0UL;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long max = mask >> shift;
    return ((value * max + 127) / 255) << shift;
  };
  for (int row = 0; row < h; ++row) {
    const RstPixel* pixels = bitmap.Row(srcY + row) + srcX;
    for (int col = 0; col < w; ++col) {
      const RstPixel p = pixels[col];
      XPutPixel(image, col, row,
                scale(RstRed(p), visual->red_mask) | scale(RstGreen(p), visual->green_mask) |
                    scale(RstBlue(p), visual->blue_mask));
    }
  }
  XPutImage(display, target, gc, image, 0, 0, dstX, dstY, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XDestroyImage(image);
}

// --- the event loop ---

int IGraphicsLinux::Impl::MillisecondsToTick() const
{
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

void IGraphicsLinux::Impl::TickIfDue()
{
  if (!window) return;
  const auto now = Clock::now();
  if (now < nextTick) return;
  const auto period = std::chrono::microseconds(1000000 / std::max(gui->FPS(), 1));
  nextTick += period;
  // After a stall, tick at the normal rate again rather than catching up.
  if (nextTick < now) nextTick = now + period;
  IRECT dirty;
  if (gui->IsDirty(&dirty)) gui->Draw(dirty);
}

void IGraphicsLinux::Impl::ReapChildren()
{
  children.erase(std::remove_if(children.begin(), children.end(),
                                [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; }),
                 children.end());
}

IMouseMod IGraphicsLinux::Impl::Mod(unsigned state, int button) const
{
  // The left button with the logo key held stands for the alternate (right) click, as
  // the command key does elsewhere; Control keeps its fine-adjust meaning.
  const bool logo = state & Mod4Mask;
  const bool left = button == 1;
  return IMouseMod(left, button == 3 || (left && logo), state & ShiftMask, state & ControlMask,
                   state & Mod1Mask);
}

void IGraphicsLinux::Impl::HandleEvent(XEvent& event)
{
  if (event.xany.window != window) {
    if (entry && event.xany.window == entry->surface.window) {
      if (event.type == Expose && event.xexpose.count == 0) {
        DrawEntry();
      } else if (event.type == ButtonPress && event.xbutton.button == 1) {
        auto& field = entry->field;
        if (RstFont* font = gui->CacheFont(&entry->text))
          field.caret = CaretAt(*font, field, entry->align, entry->surface.w, event.xbutton.x);
        if (!(event.xbutton.state & ShiftMask)) field.anchor = field.caret;
        entry->selecting = true;
        DrawEntry();
      } else if (event.type == MotionNotify && entry->selecting) {
        if (RstFont* font = gui->CacheFont(&entry->text))
          entry->field.caret = CaretAt(*font, entry->field, entry->align, entry->surface.w, event.xmotion.x);
        DrawEntry();
      } else if (event.type == ButtonRelease) {
        entry->selecting = false;
      } else if (event.type == KeyPress) {
        EntryKey(event.xkey);
      }
    }
    return;
  }

  switch (event.type) {
  case Expose: {
    const IRECT area(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                     event.xexpose.y + event.xexpose.height);
    gui->Draw(area);
    break;
  }
  case ClientMessage:
    if (event.xclient.message_type == wmProtocols && static_cast<Atom>(event.xclient.data.l[0]) == wmDelete)
      closeRequested = true;
    break;
  case DestroyNotify:
    // The host destroyed its window and ours with it.
    if (event.xdestroywindow.window == window) window = 0;
    break;
  case ButtonPress: {
    const int x = event.xbutton.x, y = event.xbutton.y;
    const unsigned button = event.xbutton.button;
    if (entry) {
      if (button == 1 || button == 3) {
        EndEntry(true); // a click elsewhere ends the text field as Enter does
      } else {
        EndEntry(false); // the wheel closes it first
      }
    }
    if (parent) XSetInputFocus(display, window, RevertToParent, event.xbutton.time);
    if (button >= 4 && button <= 7) {
      // Up and right turn values up, down and left turn them down.
      const int delta = button == 4 || button == 7 ? 1 : -1;
      gui->OnMouseWheel(x, y, Mod(event.xbutton.state, 1), delta);
      break;
    }
    if (button != 1 && button != 3) break;
    if (pressedButton) break; // the first button held leads the drag
    pressedButton = static_cast<int>(button);
    const IMouseMod mod = Mod(event.xbutton.state, static_cast<int>(button));
    bool dbl = false;
    if (button == 1) {
      const bool near = std::abs(x - lastClickX) <= 4 && std::abs(y - lastClickY) <= 4;
      const bool soon = event.xbutton.time - lastClickTime <= static_cast<Time>(multiClickMs);
      clickCount = near && soon ? clickCount + 1 : 1;
      lastClickTime = event.xbutton.time;
      lastClickX = x;
      lastClickY = y;
      dbl = clickCount >= 2;
    }
    if (dbl) {
      gui->OnMouseDblClick(x, y, mod);
    } else {
      gui->OnMouseDown(x, y, mod);
    }
    // A knob turns by the pointer's travel: the cursor hides meanwhile and comes
    // back where the press was.
    const int captured = gui->GetMouseCapture();
    knobHeld = captured >= 0 && dynamic_cast<IKnobControl*>(gui->GetControl(captured)) != nullptr;
    if (knobHeld && !cursorHidden) {
      gui->HideMouseCursor();
      hiddenAtX = event.xbutton.x_root;
      hiddenAtY = event.xbutton.y_root;
    }
    break;
  }
  case ButtonRelease: {
    if (static_cast<int>(event.xbutton.button) != pressedButton) break;
    pressedButton = 0;
    knobHeld = false;
    if (cursorHidden) gui->ShowMouseCursor();
    gui->OnMouseUp(event.xbutton.x, event.xbutton.y,
                   Mod(event.xbutton.state, static_cast<int>(event.xbutton.button)));
    break;
  }
  case MotionNotify: {
    // Only the latest position matters: the editor works with differences.
    while (XCheckTypedWindowEvent(display, window, MotionNotify, &event)) {}
    const int x = event.xmotion.x, y = event.xmotion.y;
    if (pressedButton) {
      if (entry) break;
      gui->OnMouseDrag(x, y, Mod(event.xmotion.state, pressedButton));
    } else {
      gui->OnMouseOver(x, y, Mod(event.xmotion.state, 1));
    }
    break;
  }
  case LeaveNotify:
    if (!pressedButton) gui->OnMouseOut();
    break;
  case KeyPress: {
    if (entry) {
      EntryKey(event.xkey);
      break;
    }
    const KeySym sym = XLookupKeysym(&event.xkey, 0);
    const int key = EditorKey(sym);
    if (key >= 0) gui->OnKeyDown(event.xkey.x, event.xkey.y, key);
    break;
  }
  default: break;
  }
}

void IGraphicsLinux::Impl::RunModal(const std::function<void(XEvent&)>& handler,
                                    const std::function<bool()>& done, int fd,
                                    const std::function<void()>& onFd, const std::function<void()>& onTick)
{
  ++modalDepth;
  while (display && !done() && !closeRequested) {
    while (display && XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      const bool panelOnly =
          event.xany.window == window &&
          (event.type == Expose || event.type == ClientMessage || event.type == DestroyNotify);
      if (panelOnly) {
        HandleEvent(event);
      } else {
        handler(event);
      }
      if (done()) break;
    }
    if (done() || closeRequested) break;
    const bool due = Clock::now() >= nextTick;
    TickIfDue();
    if (due && onTick) onTick();
    XFlush(display);
    pollfd fds[2] = {{XConnectionNumber(display), POLLIN, 0}, {fd, POLLIN, 0}};
    const int n = fd >= 0 ? 2 : 1;
    if (poll(fds, n, std::max(MillisecondsToTick(), 1)) > 0 && fd >= 0 &&
        (fds[1].revents & (POLLIN | POLLHUP)))
      onFd();
  }
  --modalDepth;
}

// --- text entry over the panel ---

void IGraphicsLinux::CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* str,
                                     IParam* param)
{
  Impl& x = *mImpl;
  if (!control || !x.window || x.entry) return;
  auto entry = std::make_unique<Impl::Entry>();
  entry->control = control;
  entry->param = param;
  entry->text = text;
  entry->text.mSize = std::max(2, static_cast<int>(text.mSize * 0.9));
  entry->text.mCached = nullptr;
  entry->align = text.mAlign == IText::kAlignNear  ? RstAlign::kNear
                 : text.mAlign == IText::kAlignFar ? RstAlign::kFar
                                                   : RstAlign::kCenter;
  if (param) {
    switch (param->Type()) {
    case IParam::kTypeDouble: entry->field.allowed = "0123456789.-+"; break;
    default: entry->field.allowed = "0123456789-+"; break;
    }
  }
  if (control->GetTextEntryLength() > 0)
    entry->field.maxChars = static_cast<size_t>(control->GetTextEntryLength());
  entry->field.SetText(str ? str : "");
  Surface& surface = entry->surface;
  surface.x = rect.L;
  surface.y = rect.T;
  surface.w = std::max(rect.W(), 8);
  surface.h = std::max(rect.H(), 8);
  surface.canvas = RstBitmap::Create(surface.w, surface.h);
  surface.window =
      x.MakeWindow(x.window, surface.x, surface.y, surface.w, surface.h, false,
                   ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask);
  XMapRaised(x.display, surface.window);
  x.entry = std::move(entry);
  x.DrawEntry();
}

void IGraphicsLinux::ForceEndUserEdit()
{
  if (mImpl->entry) mImpl->EndEntry(false);
}

void IGraphicsLinux::Impl::DrawEntry()
{
  if (!entry || !entry->surface.canvas) return;
  RstFont* font = gui->CacheFont(&entry->text);
  if (!font) return;
  auto color = [](const IColor& c) {
    return RstColor{255, static_cast<uint8_t>(c.R), static_cast<uint8_t>(c.G), static_cast<uint8_t>(c.B)};
  };
  DrawField(*entry->surface.canvas, *font, entry->field, entry->align, color(entry->text.mTextEntryFGColor),
            color(entry->text.mTextEntryBGColor), true);
  Present(entry->surface);
}

void IGraphicsLinux::Impl::EndEntry(bool apply)
{
  if (!entry) return;
  // Taken out first: applying may rebuild the panel or open another field.
  std::unique_ptr<Entry> ended = std::move(entry);
  if (display && ended->surface.window) XDestroyWindow(display, ended->surface.window);
  if (apply) {
    if (ended->param) {
      gui->SetFromStringAfterPrompt(ended->control, ended->param, ended->field.text.c_str());
    } else {
      ended->control->TextFromTextEntry(ended->field.text.c_str());
    }
  }
  gui->SetAllControlsDirty();
}

bool IGraphicsLinux::Impl::EditKey(TextField& field, KeySym sym, unsigned state, const char* chars, int n)
{
  const bool shift = state & ShiftMask, control = state & ControlMask;
  switch (sym) {
  case XK_Left:
  case XK_KP_Left: field.Move(-1, shift); return true;
  case XK_Right:
  case XK_KP_Right: field.Move(1, shift); return true;
  case XK_Home:
  case XK_KP_Home: field.Home(shift); return true;
  case XK_End:
  case XK_KP_End: field.End(shift); return true;
  case XK_BackSpace: field.Erase(false); return true;
  case XK_Delete:
  case XK_KP_Delete: field.Erase(true); return true;
  default: break;
  }
  if (control) {
    if (sym == XK_a || sym == XK_A) {
      field.SelectAll();
      return true;
    }
    if (sym == XK_v || sym == XK_V) {
      std::string pasted;
      if (gui->GetTextFromClipboard(&pasted)) {
        pasted = pasted.substr(0, pasted.find_first_of("\r\n"));
        field.Insert(pasted);
      }
      return true;
    }
    return false;
  }
  std::string typed;
  for (int i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(chars[i]) < 0x20 || chars[i] == 0x7F) return false;
  }
  typed = Latin1ToUtf8(chars, n);
  if (typed.empty()) return false;
  field.Insert(typed);
  return true;
}

void IGraphicsLinux::Impl::EntryKey(XKeyEvent& event)
{
  char chars[32];
  KeySym sym = 0;
  const int n = XLookupString(&event, chars, sizeof(chars), &sym, nullptr);
  if (sym == XK_Return || sym == XK_KP_Enter) {
    EndEntry(true);
    return;
  }
  if (sym == XK_Escape) {
    EndEntry(false);
    return;
  }
  if (EditKey(entry->field, sym, event.state, chars, n)) DrawEntry();
}

// --- clipboard ---

bool IGraphicsLinux::Impl::ReadSelection(Atom selection, std::string* text)
{
  if (XGetSelectionOwner(display, selection) == 0) return false;
  for (Atom target : {utf8String, static_cast<Atom>(XA_STRING)}) {
    XDeleteProperty(display, window, selectionProperty);
    XConvertSelection(display, selection, target, selectionProperty, window, CurrentTime);
    XFlush(display);
    // The owner answers with SelectionNotify; give it a second, no more.
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    XEvent event;
    bool answered = false;
    while (!answered && Clock::now() < deadline) {
      if (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) {
        answered = true;
        break;
      }
      pollfd fd{XConnectionNumber(display), POLLIN, 0};
      poll(&fd, 1, 20);
    }
    if (!answered || event.xselection.property == 0) continue;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, selectionProperty, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success)
      continue;
    const bool ok = data && format == 8 && (type == utf8String || type == XA_STRING);
    if (ok) {
      const char* bytes = reinterpret_cast<const char*>(data);
      *text = type == utf8String ? std::string(bytes, count) : Latin1ToUtf8(bytes, static_cast<int>(count));
    }
    if (data) XFree(data);
    if (ok) return true;
  }
  return false;
}

bool IGraphicsLinux::GetTextFromClipboard(std::string* text)
{
  Impl& x = *mImpl;
  if (text) text->clear();
  if (!x.window || !text) return false;
  if (x.ReadSelection(x.clipboard, text) || x.ReadSelection(XA_PRIMARY, text)) return !text->empty();
  return false;
}
