// Message boxes and the path-entry dialog drawn by the editor, the desktop's file
// chooser, and the URL opener.

#include "LinuxKit.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

using namespace zlinux;

namespace {

constexpr int kWidth = 440;
constexpr int kPad = 16;
constexpr int kButtonH = 26;
constexpr int kFieldH = 24;
constexpr int kFontSize = 13;

std::vector<std::string> Wrap(const RstFont& font, const std::string& text, int width)
{
  std::vector<std::string> lines;
  std::stringstream paragraphs(text);
  for (std::string paragraph; std::getline(paragraphs, paragraph);) {
    std::stringstream words(paragraph);
    std::string line;
    for (std::string word; words >> word;) {
      const std::string longer = line.empty() ? word : line + " " + word;
      if (!line.empty() && font.Measure(longer).w > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = longer;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

class Dialog
{
public:
  Dialog(IGraphicsLinux::Impl& x, const std::string& title, const std::string& text,
         const std::vector<std::string>& buttons, int cancelIdx, TextField* field)
      : mX(x), mTitle(title), mButtons(buttons), mCancel(cancelIdx), mField(field)
  {
    mFont = x.UIFont(kFontSize);
    mBold = x.UIFont(kFontSize + 1, true);
    if (mFont) mLines = Wrap(*mFont, text, kWidth - 2 * kPad);
  }

  int Run()
  {
    if (!mFont || !mBold) return mCancel;
    Layout();
    Surface& s = mSurface;
    // Centred over the panel.
    int panelX, panelY;
    mX.RootPosition(0, 0, &panelX, &panelY);
    int screenW, screenH;
    mX.ScreenSize(&screenW, &screenH);
    s.x = std::clamp(panelX + (mX.gui->Width() - s.w) / 2, 0, std::max(screenW - s.w, 0));
    s.y = std::clamp(panelY + (mX.gui->Height() - s.h) / 2, 0, std::max(screenH - s.h, 0));
    s.canvas = RstBitmap::Create(s.w, s.h);
    s.window = mX.MakeWindow(mX.root, s.x, s.y, s.w, s.h, false,
                             ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask |
                                 StructureNotifyMask);
    Display* d = mX.display;
    XStoreName(d, s.window, mTitle.c_str());
    XChangeProperty(d, s.window, mX.netWmName, mX.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(mTitle.data()), static_cast<int>(mTitle.size()));
    XSetTransientForHint(d, s.window, mX.TopLevelOf(mX.window));
    XChangeProperty(d, s.window, mX.windowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&mX.typeDialog), 1);
    XChangeProperty(d, s.window, mX.wmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&mX.stateModal), 1);
    XSetWMProtocols(d, s.window, &mX.wmDelete, 1);
    XSizeHints hints{};
    hints.flags = PPosition | PMinSize | PMaxSize;
    hints.x = s.x;
    hints.y = s.y;
    hints.min_width = hints.max_width = s.w;
    hints.min_height = hints.max_height = s.h;
    XSetWMNormalHints(d, s.window, &hints);
    XMapRaised(d, s.window);

    mX.RunModal([this](XEvent& event) { Handle(event); }, [this] { return mAnswer >= 0; });
    XDestroyWindow(d, s.window);
    XFlush(d);
    return mAnswer >= 0 ? mAnswer : mCancel;
  }

private:
  void Layout()
  {
    int y = kPad;
    mHeaderTop = y;
    y += mBold->LineHeight() + 8;
    mTextTop = y;
    y += static_cast<int>(mLines.size()) * (mFont->LineHeight() + 2);
    if (mField) {
      y += 8;
      mFieldRect = {kPad, y, kWidth - kPad, y + kFieldH};
      y += kFieldH;
    }
    y += 16;
    int x = kWidth - kPad;
    mButtonRects.assign(mButtons.size(), {});
    for (int i = static_cast<int>(mButtons.size()) - 1; i >= 0; --i) {
      const int w = std::max(84, mFont->Measure(mButtons[i]).w + 24);
      mButtonRects[i] = {x - w, y, x, y + kButtonH};
      x -= w + 8;
    }
    mSurface.w = kWidth;
    mSurface.h = y + kButtonH + kPad;
  }

  void Paint()
  {
    RstBitmap& c = *mSurface.canvas;
    c.FillRect({0, 0, mSurface.w, mSurface.h}, kFace, {RstMode::kCopy});
    c.DrawText(*mBold, mTitle, {kPad, mHeaderTop, kWidth - kPad, mHeaderTop + mBold->LineHeight()},
               RstAlign::kNear, kInk);
    int y = mTextTop;
    for (const std::string& line : mLines) {
      c.DrawText(*mFont, line, {kPad, y, kWidth - kPad, y + mFont->LineHeight()}, RstAlign::kNear, kInk);
      y += mFont->LineHeight() + 2;
    }
    if (mField) {
      const RstRect& r = mFieldRect;
      auto box = RstBitmap::Create(r.Width() - 2, r.Height() - 2);
      DrawField(*box, *mFont, *mField, RstAlign::kNear, kInk, {255, 255, 255, 255}, true);
      c.Blit(r.l + 1, r.t + 1, *box, box->Bounds());
      c.RoundRect(r.l, r.t, r.r - 1, r.b - 1, 0, kFrame);
    }
    for (size_t i = 0; i < mButtons.size(); ++i) {
      const RstRect& r = mButtonRects[i];
      const bool down = static_cast<int>(i) == mPressed;
      c.FillRect(r, down ? RstColor{255, 200, 200, 200} : RstColor{255, 252, 252, 252});
      const bool focus = static_cast<int>(i) == mFocus;
      c.RoundRect(r.l, r.t, r.r - 1, r.b - 1, 3, focus ? kHighlight : kFrame, Smooth());
      if (focus) c.RoundRect(r.l + 1, r.t + 1, r.r - 2, r.b - 2, 2, kHighlight, Smooth());
      const int top = r.t + (kButtonH - mFont->LineHeight()) / 2;
      c.DrawText(*mFont, mButtons[i], {r.l, top, r.r, top + mFont->LineHeight()}, RstAlign::kCenter, kInk);
    }
    mX.Present(mSurface);
  }

  static RstPaint Smooth()
  {
    RstPaint paint;
    paint.antialias = true;
    return paint;
  }

  int ButtonAt(int x, int y) const
  {
    for (size_t i = 0; i < mButtonRects.size(); ++i) {
      const RstRect& r = mButtonRects[i];
      if (x >= r.l && x < r.r && y >= r.t && y < r.b) return static_cast<int>(i);
    }
    return -1;
  }

  void Key(XKeyEvent& event)
  {
    char chars[32];
    KeySym sym = 0;
    const int n = XLookupString(&event, chars, sizeof(chars), &sym, nullptr);
    const int count = static_cast<int>(mButtons.size());
    switch (sym) {
    case XK_Return:
    case XK_KP_Enter: mAnswer = mField ? 0 : mFocus; return;
    case XK_Escape: mAnswer = mCancel; return;
    case XK_Tab:
    case XK_ISO_Left_Tab: mFocus = (mFocus + (event.state & ShiftMask ? count - 1 : 1)) % count; break;
    case XK_space:
      if (!mField) {
        mAnswer = mFocus;
        return;
      }
      [[fallthrough]];
    default:
      if (mField) {
        if (!mX.EditKey(*mField, sym, event.state, chars, n)) return;
      } else if (sym == XK_Left || sym == XK_Right) {
        mFocus = (mFocus + (sym == XK_Left ? count - 1 : 1)) % count;
      } else {
        return;
      }
    }
    Paint();
  }

  void Handle(XEvent& event)
  {
    const bool ours = event.xany.window == mSurface.window;
    switch (event.type) {
    case Expose:
      if (ours && event.xexpose.count == 0) Paint();
      break;
    case MapNotify:
      if (ours) XSetInputFocus(mX.display, mSurface.window, RevertToParent, CurrentTime);
      break;
    case ClientMessage:
      if (ours && static_cast<Atom>(event.xclient.data.l[0]) == mX.wmDelete) mAnswer = mCancel;
      break;
    case ButtonPress:
      if (ours && event.xbutton.button == 1) {
        mPressed = ButtonAt(event.xbutton.x, event.xbutton.y);
        Paint();
      }
      break;
    case ButtonRelease:
      if (ours && event.xbutton.button == 1 && mPressed >= 0) {
        if (ButtonAt(event.xbutton.x, event.xbutton.y) == mPressed) mAnswer = mPressed;
        mPressed = -1;
        if (mAnswer < 0) Paint();
      }
      break;
    case KeyPress: Key(event.xkey); break;
    default: break;
    }
  }

  IGraphicsLinux::Impl& mX;
  std::string mTitle;
  std::vector<std::string> mButtons;
  int mCancel;
  TextField* mField;
  RstFont* mFont = nullptr;
  RstFont* mBold = nullptr;
  std::vector<std::string> mLines;
  Surface mSurface;
  int mHeaderTop = 0, mTextTop = 0;
  RstRect mFieldRect;
  std::vector<RstRect> mButtonRects;
  int mFocus = 0, mPressed = -1, mAnswer = -1;
};

// Runs the desktop's chooser; false when it could not be started at all.
bool RunChooser(IGraphicsLinux::Impl& x, const std::vector<std::string>& argv, std::string* chosen)
{
  Child child;
  if (!Spawn(argv, true, &child)) return false;
  std::string output;
  bool finished = false;
  x.RunModal([](XEvent&) {}, [&] { return finished; }, child.out,
             [&] {
               char buffer[4096];
               const ssize_t n = read(child.out, buffer, sizeof(buffer));
               if (n > 0) {
                 output.append(buffer, static_cast<size_t>(n));
               } else if (n == 0 || errno != EINTR) {
                 finished = true;
               }
             });
  close(child.out);
  if (!finished) kill(child.pid, SIGTERM); // the panel went away meanwhile
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {}
  chosen->clear();
  if (finished && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    *chosen = output.substr(0, output.find('\n'));
  }
  return true;
}

} // namespace

int IGraphicsLinux::Impl::RunDialog(const std::string& title, const std::string& text,
                                    const std::vector<std::string>& buttons, int cancelIdx, TextField* field)
{
  Dialog dialog(*this, title, text, buttons, cancelIdx, field);
  return dialog.Run();
}

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type)
{
  Impl& x = *mImpl;
  if (!x.window) return CautiousAnswer(type);
  if (x.entry) x.EndEntry(false);
  std::vector<std::string> buttons;
  std::vector<int> answers;
  switch (type) {
  case kMsgBoxTypeYesNo:
    buttons = {"Yes", "No"};
    answers = {kMsgBoxYes, kMsgBoxNo};
    break;
  case kMsgBoxTypeYesNoCancel:
    buttons = {"Yes", "No", "Cancel"};
    answers = {kMsgBoxYes, kMsgBoxNo, kMsgBoxCancel};
    break;
  case kMsgBoxTypeOKCancel:
    buttons = {"OK", "Cancel"};
    answers = {kMsgBoxOK, kMsgBoxCancel};
    break;
  default:
    buttons = {"OK"};
    answers = {kMsgBoxOK};
    break;
  }
  // Closing the box unanswered gives the cautious answer.
  const int cautious = CautiousAnswer(type);
  const int cancelIdx =
      static_cast<int>(std::find(answers.begin(), answers.end(), cautious) - answers.begin());
  const int chosen = x.RunDialog(caption ? caption : "", text ? text : "", buttons, cancelIdx, nullptr);
  return chosen >= 0 && chosen < static_cast<int>(answers.size()) ? answers[chosen] : cautious;
}

void IGraphicsLinux::PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                                   const char* extensions)
{
  if (!filename) return;
  Impl& x = *mImpl;
  if (!x.window) {
    filename->clear();
    return;
  }
  if (x.entry) x.EndEntry(false);
  const std::string start = FileDialogFolder(dir);
  const std::string proposed = *filename;
  filename->clear();
  const bool save = action == kFileSave;

  std::string chosen;
  bool asked = false;
  for (const char* name : {"zenity", "kdialog"}) {
    const std::string program = zlinux::FindProgram(name);
    if (program.empty()) continue;
    asked =
        RunChooser(x, ChooserCommand(program, save, start, proposed, extensions ? extensions : ""), &chosen);
    if (asked) break;
  }
  if (!asked) {
    // Neither chooser is installed: the path is typed in.
    TextField field;
    std::string folder = start;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    field.SetText(folder + proposed);
    field.caret = field.anchor = field.text.size();
    std::string prompt = save ? "Save as:" : "Open file:";
    if (extensions && *extensions) prompt += std::string(" (") + extensions + ")";
    const int answer = x.RunDialog(save ? "Save File" : "Open File", prompt, {"OK", "Cancel"}, 1, &field);
    if (answer == 0) chosen = field.text;
    if (chosen.rfind("~/", 0) == 0) {
      const char* home = std::getenv("HOME");
      if (home) chosen = std::string(home) + chosen.substr(1);
    }
  }
  TakeChosenFile(chosen, filename, dir);
}

bool IGraphicsLinux::OpenURL(const char* url, const char*)
{
  if (!url || !*url) return false;
  // xdg-open takes web addresses and file paths alike.
  const std::string opener = zlinux::FindProgram("xdg-open");
  if (opener.empty()) return false;
  Child child;
  if (!Spawn({opener, url}, false, &child)) return false;
  mImpl->children.push_back(child.pid);
  mImpl->ReapChildren();
  return true;
}
