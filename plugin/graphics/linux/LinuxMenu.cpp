// Popup menus drawn by the editor in override-redirect windows, with submenus,
// keyboard navigation and scrolling for menus taller than the screen.

#include "IPopupMenu.h"
#include "LinuxKit.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

using namespace zlinux;

namespace {

constexpr int kFontSize = 13;
constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kPad = 4;        // above the first and below the last item
constexpr int kArrowBand = 16; // the scroll arrows of a menu taller than the screen
constexpr int kCheckColumn = 22;
constexpr int kSubmenuColumn = 22;
constexpr int kScrollStep = kItemHeight;

struct Row
{
  int top = 0, height = 0; // in the menu's content
  int item = 0;
};

struct Level
{
  IPopupMenu* menu = nullptr;
  Surface surface;
  std::vector<Row> rows;
  int contentHeight = 0;
  bool scrolls = false;
  int scroll = 0;     // pixels of content scrolled off the top
  int highlight = -1; // row index
  int parentRow = -1; // the row of the level above that opened this one

  int ViewTop() const { return scrolls ? kArrowBand : 0; }
  int ViewHeight() const { return surface.h - (scrolls ? 2 * kArrowBand : 0); }
  int MaxScroll() const { return std::max(contentHeight - ViewHeight(), 0); }
};

bool Selectable(const IPopupMenuItem* item)
{
  return item && !item->GetIsSeparator() && item->GetEnabled();
}

class MenuSession
{
public:
  MenuSession(IGraphicsLinux::Impl& x) : mX(x) {}

  IPopupMenu* Run(IPopupMenu* menu, int rootX, int rootY)
  {
    if (!Push(menu, rootX, rootY, -1, 0)) return nullptr;
    Window grabWindow = mLevels.front().surface.window;
    XSync(mX.display, False);
    bool grabbed = false;
    // The window may take a moment to become viewable; without a grab the menu would
    // not see clicks elsewhere, so keep trying briefly.
    for (int attempt = 0; attempt < 50 && !grabbed; ++attempt) {
      grabbed = XGrabPointer(mX.display, grabWindow, True,
                             ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                 LeaveWindowMask,
                             GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime) == GrabSuccess;
      if (!grabbed) usleep(10000);
    }
    XGrabKeyboard(mX.display, grabWindow, True, GrabModeAsync, GrabModeAsync, CurrentTime);

    mX.RunModal([this](XEvent& event) { Handle(event); }, [this] { return mDone; }, -1, {},
                [this] { AutoScroll(); });

    XUngrabKeyboard(mX.display, CurrentTime);
    XUngrabPointer(mX.display, CurrentTime);
    while (!mLevels.empty()) Pop();
    XFlush(mX.display);
    return mChosen;
  }

private:
  bool Push(IPopupMenu* menu, int x, int y, int parentRow, int leftEdge)
  {
    RstFont* font = mX.UIFont(kFontSize);
    if (!menu || !font) return false;
    Level level;
    level.menu = menu;
    level.parentRow = parentRow;
    int textW = 0, top = kPad;
    for (int i = 0; i < menu->GetNItems(); ++i) {
      const IPopupMenuItem* item = menu->GetItem(i);
      const int h = item->GetIsSeparator() ? kSeparatorHeight : kItemHeight;
      level.rows.push_back({top, h, i});
      top += h;
      if (!item->GetIsSeparator()) textW = std::max(textW, font->Measure(Label(*menu, i)).w);
    }
    level.contentHeight = top + kPad;
    int screenW, screenH;
    mX.ScreenSize(&screenW, &screenH);
    Surface& s = level.surface;
    s.w = std::max(kCheckColumn + textW + kSubmenuColumn + 8, 80);
    s.h = level.contentHeight;
    if (s.h > screenH) {
      s.h = screenH;
      level.scrolls = true;
    }
    // Keep the menu on the screen: a submenu that does not fit to the right of its
    // parent opens to the left of it.
    if (x + s.w > screenW) x = parentRow >= 0 ? leftEdge - s.w : screenW - s.w;
    s.x = std::max(x, 0);
    s.y = std::clamp(y, 0, std::max(screenH - s.h, 0));
    s.canvas = RstBitmap::Create(s.w, s.h);
    s.window = mX.MakeWindow(mX.root, s.x, s.y, s.w, s.h, true,
                             ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                 KeyPressMask | LeaveWindowMask);
    XChangeProperty(mX.display, s.window, mX.windowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&mX.typeMenu), 1);
    mLevels.push_back(std::move(level));
    XMapRaised(mX.display, s.window);
    Paint(mLevels.back());
    return true;
  }

  void Pop()
  {
    Level& level = mLevels.back();
    XDestroyWindow(mX.display, level.surface.window);
    mLevels.pop_back();
  }

  static std::string Label(const IPopupMenu& menu, int i)
  {
    const IPopupMenuItem* item = menu.GetItem(i);
    return item->GetSubmenu() ? std::string(item->GetText()) : menu.GetItemLabel(i);
  }

  void Paint(Level& level)
  {
    RstFont* font = mX.UIFont(kFontSize);
    RstBitmap& c = *level.surface.canvas;
    const int w = level.surface.w, h = level.surface.h;
    c.FillRect({0, 0, w, h}, kFace, {RstMode::kCopy});
    const int viewTop = level.ViewTop(), viewBottom = viewTop + level.ViewHeight();
    for (size_t r = 0; r < level.rows.size(); ++r) {
      const Row& row = level.rows[r];
      const int y = viewTop + row.top - level.scroll;
      if (y + row.height <= viewTop || y >= viewBottom) continue;
      const IPopupMenuItem* item = level.menu->GetItem(row.item);
      if (item->GetIsSeparator()) {
        c.FillRect({6, y + row.height / 2, w - 6, y + row.height / 2 + 1}, kFrame);
        continue;
      }
      const bool lit = static_cast<int>(r) == level.highlight && item->GetEnabled();
      if (lit) c.FillRect({2, y, w - 2, y + row.height}, kHighlight);
      const RstColor ink = !item->GetEnabled() ? kGreyInk : lit ? kHighlightInk : kInk;
      const int indent = item->GetIsTitle() ? 12 : 0;
      const int textTop = y + (row.height - font->LineHeight()) / 2;
      c.DrawText(*font, Label(*level.menu, row.item),
                 {kCheckColumn + indent, textTop, w - kSubmenuColumn, textTop + font->LineHeight()},
                 RstAlign::kNear, ink);
      if (item->GetChecked()) {
        const int cx = 7, cy = y + row.height / 2;
        RstPaint smooth;
        smooth.antialias = true;
        c.Line(cx, cy, cx + 3, cy + 4, ink, smooth);
        c.Line(cx + 3, cy + 4, cx + 9, cy - 4, ink, smooth);
      }
      if (item->GetSubmenu()) {
        const int ax = w - 14, ay = y + row.height / 2;
        c.FillTriangle(ax, ay - 4, ax, ay + 4, ax + 5, ay, ink);
      }
    }
    if (level.scrolls) {
      c.FillRect({0, 0, w, kArrowBand}, kFace, {RstMode::kCopy});
      c.FillRect({0, h - kArrowBand, w, h}, kFace, {RstMode::kCopy});
      const int mx = w / 2;
      const RstColor up = level.scroll > 0 ? kInk : kGreyInk;
      const RstColor down = level.scroll < level.MaxScroll() ? kInk : kGreyInk;
      c.FillTriangle(mx - 5, 11, mx + 5, 11, mx, 5, up);
      c.FillTriangle(mx - 5, h - 11, mx + 5, h - 11, mx, h - 5, down);
    }
    c.RoundRect(0, 0, w - 1, h - 1, 0, kFrame);
    mX.Present(level.surface);
  }

  // The level and row under the root position; false when outside every menu.
  bool Find(int rootX, int rootY, int* levelIdx, int* rowIdx)
  {
    for (int l = static_cast<int>(mLevels.size()) - 1; l >= 0; --l) {
      const Level& level = mLevels[l];
      const Surface& s = level.surface;
      if (rootX < s.x || rootX >= s.x + s.w || rootY < s.y || rootY >= s.y + s.h) continue;
      *levelIdx = l;
      *rowIdx = -1;
      const int y = rootY - s.y;
      if (y < level.ViewTop() || y >= level.ViewTop() + level.ViewHeight()) return true;
      const int contentY = y - level.ViewTop() + level.scroll;
      for (size_t r = 0; r < level.rows.size(); ++r) {
        const Row& row = level.rows[r];
        if (contentY >= row.top && contentY < row.top + row.height) *rowIdx = static_cast<int>(r);
      }
      return true;
    }
    return false;
  }

  void Highlight(int levelIdx, int rowIdx, bool openSubmenu)
  {
    // The submenu of the row already open stays; any other closes.
    const bool childOpen = rowIdx >= 0 && static_cast<int>(mLevels.size()) > levelIdx + 1 &&
                           mLevels[levelIdx + 1].parentRow == rowIdx;
    if (!childOpen) {
      while (static_cast<int>(mLevels.size()) > levelIdx + 1) Pop();
    }
    Level& level = mLevels[levelIdx];
    if (level.highlight != rowIdx) {
      level.highlight = rowIdx;
      ScrollIntoView(level);
      Paint(level);
    }
    if (!openSubmenu || rowIdx < 0 || childOpen) return;
    const IPopupMenuItem* item = level.menu->GetItem(level.rows[rowIdx].item);
    if (!item->GetSubmenu() || !item->GetEnabled()) return;
    const Surface& s = level.surface;
    const int y = s.y + level.ViewTop() + level.rows[rowIdx].top - level.scroll - kPad;
    Push(item->GetSubmenu(), s.x + s.w - 2, y, rowIdx, s.x);
  }

  void ScrollIntoView(Level& level)
  {
    if (!level.scrolls || level.highlight < 0) return;
    const Row& row = level.rows[level.highlight];
    if (row.top < level.scroll) level.scroll = row.top - kPad;
    if (row.top + row.height > level.scroll + level.ViewHeight())
      level.scroll = row.top + row.height + kPad - level.ViewHeight();
    level.scroll = std::clamp(level.scroll, 0, level.MaxScroll());
  }

  void ScrollBy(Level& level, int pixels)
  {
    const int next = std::clamp(level.scroll + pixels, 0, level.MaxScroll());
    if (next == level.scroll) return;
    level.scroll = next;
    while (&mLevels.back() != &level) Pop();
    Paint(level);
  }

  // Keeps scrolling while the pointer rests on an arrow band.
  void AutoScroll()
  {
    for (Level& level : mLevels) {
      if (!level.scrolls) continue;
      const Surface& s = level.surface;
      if (mPointerX < s.x || mPointerX >= s.x + s.w || mPointerY < s.y || mPointerY >= s.y + s.h) continue;
      const int y = mPointerY - s.y;
      if (y < kArrowBand) ScrollBy(level, -kScrollStep / 2);
      if (y >= s.h - kArrowBand) ScrollBy(level, kScrollStep / 2);
      return;
    }
  }

  void Choose(int levelIdx, int rowIdx)
  {
    Level& level = mLevels[levelIdx];
    const int item = level.rows[rowIdx].item;
    level.menu->SetChosenItemIdx(item);
    mChosen = level.menu;
    mDone = true;
  }

  // Moves the highlight of the deepest menu to the next selectable row.
  void Step(int direction)
  {
    Level& level = mLevels.back();
    const int n = static_cast<int>(level.rows.size());
    if (!n) return;
    int r = level.highlight;
    for (int tries = 0; tries < n; ++tries) {
      r = r < 0 ? (direction > 0 ? 0 : n - 1) : (r + direction + n) % n;
      if (Selectable(level.menu->GetItem(level.rows[r].item))) {
        Highlight(static_cast<int>(mLevels.size()) - 1, r, false);
        return;
      }
    }
  }

  void Key(XKeyEvent& event)
  {
    const KeySym sym = XLookupKeysym(&event, 0);
    Level& level = mLevels.back();
    const int deepest = static_cast<int>(mLevels.size()) - 1;
    const IPopupMenuItem* item =
        level.highlight >= 0 ? level.menu->GetItem(level.rows[level.highlight].item) : nullptr;
    switch (sym) {
    case XK_Up:
    case XK_KP_Up: Step(-1); break;
    case XK_Down:
    case XK_KP_Down: Step(1); break;
    case XK_Right:
    case XK_KP_Right:
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
      if (!Selectable(item)) break;
      if (item->GetSubmenu()) {
        Highlight(deepest, level.highlight, true);
        if (static_cast<int>(mLevels.size()) > deepest + 1) Step(1);
      } else if (sym != XK_Right && sym != XK_KP_Right) {
        Choose(deepest, level.highlight);
      }
      break;
    case XK_Left:
    case XK_KP_Left:
      if (mLevels.size() > 1) Pop();
      break;
    case XK_Escape:
      if (mLevels.size() > 1) {
        Pop();
      } else {
        mDone = true;
      }
      break;
    default: break;
    }
  }

  void Handle(XEvent& event)
  {
    int l = -1, r = -1;
    switch (event.type) {
    case Expose:
      for (Level& level : mLevels) {
        if (level.surface.window == event.xexpose.window && event.xexpose.count == 0) Paint(level);
      }
      break;
    case MotionNotify:
      mPointerX = event.xmotion.x_root;
      mPointerY = event.xmotion.y_root;
      if (Find(mPointerX, mPointerY, &l, &r)) {
        if (r >= 0 && r != mLevels[l].highlight) mArmed = true;
        if (r >= 0) Highlight(l, r, true);
      }
      break;
    case ButtonPress:
      if (!Find(event.xbutton.x_root, event.xbutton.y_root, &l, &r)) {
        mDone = true; // a click outside dismisses the menu
        break;
      }
      if (event.xbutton.button == 4 || event.xbutton.button == 5) {
        ScrollBy(mLevels[l], event.xbutton.button == 4 ? -3 * kScrollStep : 3 * kScrollStep);
        break;
      }
      mArmed = true;
      if (r >= 0) Highlight(l, r, true);
      break;
    case ButtonRelease:
      // The release of the click that opened the menu chooses nothing unless the
      // pointer has moved onto an entry since.
      if (!mArmed || event.xbutton.button > 3) break;
      if (Find(event.xbutton.x_root, event.xbutton.y_root, &l, &r) && r >= 0) {
        const IPopupMenuItem* item = mLevels[l].menu->GetItem(mLevels[l].rows[r].item);
        if (Selectable(item) && !item->GetSubmenu()) Choose(l, r);
      }
      break;
    case KeyPress: Key(event.xkey); break;
    default: break;
    }
  }

  IGraphicsLinux::Impl& mX;
  std::deque<Level> mLevels; // a deque: levels stay put while submenus open
  IPopupMenu* mChosen = nullptr;
  bool mDone = false;
  bool mArmed = false;
  int mPointerX = -1, mPointerY = -1;
};

} // namespace

IPopupMenu* IGraphicsLinux::Impl::RunMenu(IPopupMenu* menu, int rootX, int rootY)
{
  MenuSession session(*this);
  return session.Run(menu, rootX, rootY);
}

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect)
{
  ReleaseMouseCapture();
  Impl& x = *mImpl;
  if (!x.window || !menu) return nullptr;
  if (x.entry) x.EndEntry(false);
  // The menu takes the pointer: the press that opened it will never see its release.
  x.pressedButton = 0;
  x.knobHeld = false;
  if (x.cursorHidden) ShowMouseCursor();
  int rootX, rootY;
  x.RootPosition(rect.L, rect.T + 4, &rootX, &rootY);
  IPopupMenu* chosen = x.RunMenu(menu, rootX, rootY);
  return chosen && chosen->GetChosenItemIdx() > -1 ? chosen : nullptr;
}
