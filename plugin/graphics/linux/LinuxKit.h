#pragma once
// The X side of IGraphicsLinux, shared by its implementation files only: Xlib's
// macros (None, Bool, Status...) must not reach the rest of the code base.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef ConnectionNumber // a method of the editor here; XConnectionNumber stays

#include "IGraphicsLinux.h"
#include "raster/raster.h"
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IPopupMenu;

namespace zlinux {

// Looks of the menus, dialogs and fields the editor draws itself.
constexpr RstColor kFace{255, 240, 240, 240};
constexpr RstColor kFrame{255, 120, 120, 120};
constexpr RstColor kInk{255, 20, 20, 20};
constexpr RstColor kGreyInk{255, 150, 150, 150};
constexpr RstColor kHighlight{255, 56, 116, 216};
constexpr RstColor kHighlightInk{255, 255, 255, 255};
constexpr RstColor kSelection{255, 170, 200, 250};

// One line of editable text: UTF-8, a caret and a selection (anchor ... caret), with
// the input limits of the field (allowed characters, most characters).
struct TextField
{
  std::string text;
  size_t caret = 0, anchor = 0; // byte offsets on character boundaries
  std::string allowed;          // empty: anything printable
  size_t maxChars = 0;          // 0: no limit
  int scroll = 0;               // pixels the text is shifted left to show the caret

  void SetText(const std::string& value); // everything selected
  bool HasSelection() const { return caret != anchor; }
  std::string Selected() const;
  // Replaces the selection; refused (false) when a character is not allowed or the
  // text would grow past the limit.
  bool Insert(const std::string& utf8);
  void Erase(bool forward);
  void Move(int direction, bool extend); // one character left (-1) or right (+1)
  void Home(bool extend);
  void End(bool extend);
  void SelectAll();
};

size_t Utf8Length(const std::string& text);
std::string Latin1ToUtf8(const char* bytes, int n);

// Draws the field into a bitmap of its own size; the caret shows when focused.
void DrawField(RstBitmap& canvas, const RstFont& font, TextField& field, RstAlign align, RstColor ink,
               RstColor background, bool focused);
// The caret position nearest to x (canvas coordinates) after DrawField laid it out.
size_t CaretAt(const RstFont& font, const TextField& field, RstAlign align, int width, int x);

// A window the editor draws itself (menus, dialogs, the text field): its bitmap is
// painted and then copied to the window.
struct Surface
{
  Window window = 0;
  int x = 0, y = 0, w = 0, h = 0; // root coordinates for menus, parent's for children
  std::unique_ptr<RstBitmap> canvas;
};

// A child process started without a shell.
struct Child
{
  pid_t pid = -1;
  int out = -1; // its standard output, when captured
};
// The program's path from PATH, or empty.
std::string FindProgram(const std::string& name);
bool Spawn(const std::vector<std::string>& argv, bool captureOutput, Child* child);
// Arguments for the desktop's file chooser; empty program when neither is installed.
std::vector<std::string> ChooserCommand(const std::string& program, bool save, const std::string& startFolder,
                                        const std::string& proposedName, const std::string& extensions);

} // namespace zlinux

struct IGraphicsLinux::Impl
{
  explicit Impl(IGraphicsLinux* owner) : gui(owner) {}

  IGraphicsLinux* gui;
  Display* display = nullptr;
  int screen = 0;
  Window root = 0, window = 0, parent = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  bool directPixels = false; // the visual takes our pixels as they are
  Atom wmProtocols = 0, wmDelete = 0, netWmName = 0, utf8String = 0, clipboard = 0, selectionProperty = 0,
       windowType = 0, typeDialog = 0, typeMenu = 0, wmState = 0, stateModal = 0;
  Cursor blankCursor = 0;
  bool cursorHidden = false;
  int hiddenAtX = 0, hiddenAtY = 0;

  std::chrono::steady_clock::time_point nextTick;
  bool closeRequested = false;
  int modalDepth = 0;

  // Mouse state between events.
  int pressedButton = 0;
  Time lastClickTime = 0;
  int lastClickX = -100, lastClickY = -100, clickCount = 0;
  int multiClickMs = 400;
  bool knobHeld = false;

  // The open text field over the panel.
  struct Entry
  {
    IControl* control = nullptr;
    IParam* param = nullptr;
    IText text;
    RstAlign align = RstAlign::kCenter;
    zlinux::TextField field;
    zlinux::Surface surface;
    bool selecting = false;
  };
  std::unique_ptr<Entry> entry;
  std::vector<pid_t> children; // URL openers still to be reaped

  bool Open(Window parentWindow);
  void Close();
  void HandleEvent(XEvent& event);
  void TickIfDue();
  int MillisecondsToTick() const;
  void ReapChildren();

  // Copies part of a bitmap to a window.
  void Put(const RstBitmap& bitmap, int srcX, int srcY, int w, int h, Window target, int dstX, int dstY);
  void Present(zlinux::Surface& surface)
  {
    Put(*surface.canvas, 0, 0, surface.w, surface.h, surface.window, 0, 0);
  }
  // A window of our own: an override-redirect popup at root (x, y), or a dialog.
  Window MakeWindow(Window parentWindow, int x, int y, int w, int h, bool overrideRedirect, long events);
  Window TopLevelOf(Window w) const;
  void RootPosition(int x, int y, int* rootX, int* rootY) const;
  void ScreenSize(int* w, int* h) const;
  RstFont* UIFont(int size, bool bold = false);

  // The nested event loop of menus and dialogs: the panel keeps drawing while handler
  // takes the events meant for the modal window (and every input event: the panel
  // takes no input meanwhile). Ends when done() or when the panel is closed.
  // Optionally also waits on fd (readable or hung up: onFd) and runs onTick each tick.
  void RunModal(const std::function<void(XEvent&)>& handler, const std::function<bool()>& done, int fd = -1,
                const std::function<void()>& onFd = {}, const std::function<void()>& onTick = {});

  IMouseMod Mod(unsigned state, int button) const;

  // Text field over the panel.
  void DrawEntry();
  void EndEntry(bool apply);
  void EntryKey(XKeyEvent& event);
  // Text field editing shared with the dialogs: true when the key was an editing key.
  bool EditKey(zlinux::TextField& field, KeySym sym, unsigned state, const char* chars, int n);

  // Popup menus and dialogs (LinuxMenu.cpp, LinuxDialog.cpp).
  IPopupMenu* RunMenu(IPopupMenu* menu, int rootX, int rootY);
  // Buttons left to right; the answer is the index of the button, cancelIdx when the
  // window is closed or Escape pressed. With field, a text line above the buttons.
  int RunDialog(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                int cancelIdx, zlinux::TextField* field);
  bool ReadSelection(Atom selection, std::string* text);
};
