// The panel in a real X11 window on a private Xvfb server, driven with the X test
// extension as a user would. Every gesture is repeated on an off-screen twin of the
// instrument: both must end with the same values and the same pixels.

#include "plugin/graphics/IGraphicsFactory.h"
#include "plugin/graphics/linux/IGraphicsLinux.h"
#include "tests/common/xvfb.h"
#include "tests/editor/editor_test_support.h"
#include "zorva/editor/zorva_editor.h"
#include "zorva/param_ids.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef None
#undef Bool
#undef Status
#undef ConnectionNumber

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const IMouseMod kLeft(true);
const IMouseMod kRight(false, true);

std::unique_ptr<XvfbServer> gServer;

struct Point
{
  int x, y;
};
Point center(const IRECT& r)
{
  return {int(r.L + r.R) / 2, int(r.T + r.B) / 2};
}

// The instrument as the host sees it, on whichever window layer is chosen.
std::unique_ptr<Zorva> MakeInstrument(GraphicsFactory factory)
{
  SetGraphicsFactory(factory);
  auto z = std::make_unique<Zorva>();
  SetGraphicsFactory(nullptr);
  z->SetSampleRate(44100.0);
  z->SetBlockSize(512);
  z->Reset();
  z->OnActivate(true);
  return z;
}

// A user at the keyboard and mouse: its own connection, on its own thread, because
// menus and dialogs keep the editor's thread in their loops until they close.
class User
{
public:
  explicit User(unsigned long window)
  {
    mDisplay = XOpenDisplay(nullptr);
    Window child;
    XTranslateCoordinates(mDisplay, window, DefaultRootWindow(mDisplay), 0, 0, &mOriginX, &mOriginY, &child);
  }
  ~User() { XCloseDisplay(mDisplay); }

  void MoveTo(int x, int y) { Sent(XTestFakeMotionEvent(mDisplay, -1, mOriginX + x, mOriginY + y, 0)); }
  void Button(int button, bool down) { Sent(XTestFakeButtonEvent(mDisplay, unsigned(button), down, 0)); }
  void Click(int x, int y, int button = 1)
  {
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
  }
  void Key(KeySym sym, bool down)
  {
    Sent(XTestFakeKeyEvent(mDisplay, XKeysymToKeycode(mDisplay, sym), down, 0));
  }
  void Tap(KeySym sym)
  {
    Key(sym, true);
    Key(sym, false);
  }
  void Type(const std::string& text)
  {
    for (char c : text) {
      const bool upper = std::isupper(static_cast<unsigned char>(c));
      if (upper) Key(XK_Shift_L, true);
      Tap(static_cast<KeySym>(std::tolower(static_cast<unsigned char>(c))));
      if (upper) Key(XK_Shift_L, false);
    }
  }
  void Pointer(int* rootX, int* rootY)
  {
    Window r, c;
    int wx, wy;
    unsigned mask;
    XQueryPointer(mDisplay, DefaultRootWindow(mDisplay), &r, &c, rootX, rootY, &wx, &wy, &mask);
  }

private:
  // Each event reaches the server, and the editor has a moment for it, before the next.
  void Sent(int)
  {
    XSync(mDisplay, 0);
    std::this_thread::sleep_for(15ms);
  }
  Display* mDisplay;
  int mOriginX = 0, mOriginY = 0;
};

} // namespace

class X11PanelTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    gServer = std::make_unique<XvfbServer>("1280x1024x24");
    setenv("DISPLAY", gServer->Name().c_str(), 1);
  }
  static void TearDownTestSuite() { gServer.reset(); }

  void SetUp() override
  {
    if (gServer->Name().empty()) GTEST_SKIP() << "Xvfb did not start (is it installed?)";
    // A menu or dialog left open would wait for the user for ever.
    alarm(90);
    z = MakeInstrument(IGraphicsLinux::Create);
    twin = MakeInstrument(nullptr);
    gui = dynamic_cast<IGraphicsLinux*>(z->GetGUI());
    offscreen = dynamic_cast<IGraphicsHeadless*>(twin->GetGUI());
    ASSERT_TRUE(gui && offscreen);
    ASSERT_NE(gui->OpenWindow(nullptr), nullptr);
    offscreen->OpenWindow(nullptr);
    pump(300ms);
  }
  void TearDown() override
  {
    alarm(0);
    restorePath();
    z.reset();
    twin.reset();
  }

  void pump(std::chrono::milliseconds time)
  {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
      gui->ProcessEvents();
      std::this_thread::sleep_for(5ms);
    }
  }
  // Runs what the user does while this thread keeps the panel going; waits a little
  // longer than a double click lasts, so that gestures stay apart.
  void act(const std::function<void(User&)>& script)
  {
    std::atomic<bool> done{false};
    std::thread user([&] {
      User u(gui->WindowId());
      script(u);
      done = true;
    });
    while (!done) pump(5ms);
    user.join();
    pump(450ms);
  }
  // A stand-in shell script of that name, first on PATH until restorePath().
  void standIn(const std::string& name, const std::string& script)
  {
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    writeFile((bin / name).string(), "#!/bin/sh\n" + script);
    fs::permissions(bin / name, fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);
  }
  void restorePath() { setenv("PATH", oldPath.c_str(), 1); }
  double value(Zorva& instrument, int idx) { return instrument.GetParam(idx)->Value(); }
  Point knob(int paramIdx)
  {
    return center(findControl<ITdKnobMultiControlText>(gui, paramIdx)->GetKnobRECT());
  }
  IRECT options() { return findControl<ITdOptionMenu>(gui, PanelCommand::kFileMenu)->GetRECT(); }
  // A press, a move unless it ends where it began, and a release on the off-screen twin.
  void twinGesture(Point from, Point to, const IMouseMod& mod = kLeft)
  {
    IGraphics* h = offscreen;
    h->OnMouseDown(from.x, from.y, mod);
    if (from.x != to.x || from.y != to.y) h->OnMouseDrag(to.x, to.y, mod);
    h->OnMouseUp(to.x, to.y, mod);
  }
  // Opens the options menu and chooses the entry from the keyboard (separators and
  // greyed entries are passed over).
  void chooseOption(User& u, int item)
  {
    const Point o = center(options());
    u.Click(o.x, o.y);
    std::this_thread::sleep_for(200ms);
    IPopupMenu& menu = findControl<ITdOptionMenu>(gui, PanelCommand::kFileMenu)->GetMenu();
    for (int i = 0; i <= item; ++i)
      if (!menu.GetItem(i)->GetIsSeparator() && menu.GetItem(i)->GetEnabled()) u.Tap(XK_Down);
    u.Tap(XK_Return);
  }

  TempFolder folder{"zorva-x11"};
  const fs::path dir = folder.dir();
  ZorvaFolders env{dir.string(), ZORVA_SHARE_DIR};
  const std::string oldPath = std::getenv("PATH");
  std::unique_ptr<Zorva> z, twin;
  IGraphicsLinux* gui = nullptr;
  IGraphicsHeadless* offscreen = nullptr;
};

TEST_F(X11PanelTest, KnobGesturesActAsOffScreenAndDrawTheSame)
{
  const Point vol = knob(kVolume), cut = knob(kFlt1Cutoff), pitch = knob(kOsc1Pitch);
  // A host that pumps events seldom hands over a whole gesture at once: the moves
  // queued after the press must still drag the knob.
  const double before = value(*z, kVolume);
  {
    User u(gui->WindowId());
    u.MoveTo(vol.x, vol.y);
    u.Button(1, true);
    u.MoveTo(vol.x, vol.y - 20);
    u.MoveTo(vol.x, vol.y - 30);
    u.Button(1, false);
  }
  pump(450ms);
  twinGesture(vol, {vol.x, vol.y - 30});
  EXPECT_NE(value(*z, kVolume), before);
  EXPECT_EQ(value(*z, kVolume), value(*twin, kVolume));

  int startX = 0, startY = 0, endX = 0, endY = 0;

  // Drag plain and, on another knob, with Control for fine adjustment. The cursor
  // is hidden meanwhile and comes back where the drag began.
  act([&](User& u) {
    u.MoveTo(vol.x, vol.y);
    u.Pointer(&startX, &startY);
    u.Button(1, true);
    u.MoveTo(vol.x, vol.y - 30);
    u.Button(1, false);
    std::this_thread::sleep_for(150ms); // the editor puts the cursor back
    u.Pointer(&endX, &endY);
    u.Key(XK_Control_L, true);
    u.MoveTo(cut.x, cut.y);
    u.Button(1, true);
    u.MoveTo(cut.x, cut.y + 40);
    u.Button(1, false);
    u.Key(XK_Control_L, false);
  });
  twinGesture(vol, {vol.x, vol.y - 30});
  twinGesture(cut, {cut.x, cut.y + 40}, IMouseMod(true, false, false, true));
  EXPECT_EQ(endX, startX);
  EXPECT_EQ(endY, startY);

  // Three notches of the wheel up, a plain click, then a double click.
  act([&](User& u) {
    u.MoveTo(pitch.x, pitch.y);
    for (int i = 0; i < 3; ++i) u.Click(pitch.x, pitch.y, 4);
  });
  act([&](User& u) { u.Click(cut.x, cut.y); });
  act([&](User& u) {
    u.Click(vol.x, vol.y);
    u.Click(vol.x, vol.y);
  });
  IGraphics* h = offscreen;
  for (int i = 0; i < 3; ++i) h->OnMouseWheel(pitch.x, pitch.y, kLeft, 1);
  twinGesture(cut, cut);
  twinGesture(vol, vol);
  h->OnMouseDblClick(vol.x, vol.y, kLeft);
  h->OnMouseUp(vol.x, vol.y, kLeft);

  // A right click on the MIDI-learn switch changes its mode.
  auto* learn = findControl<ITdSwitchMidiLearn>(gui, PanelCommand::kMidiLearn);
  const Point at = center(learn->GetRECT());
  act([&](User& u) { u.Click(at.x, at.y, 3); });
  twinGesture(at, at, kRight);
  EXPECT_EQ(learn->IsLearnMode(),
            findControl<ITdSwitchMidiLearn>(h, PanelCommand::kMidiLearn)->IsLearnMode());
  EXPECT_FALSE(learn->IsLearnMode());

  // A value field for a whole-number parameter refuses other characters.
  IControl* pitchKnob = findControl<ITdKnobMultiControlText>(gui, kOsc1Pitch);
  gui->CreateTextEntry(pitchKnob, pitchKnob->GetText(),
                       IRECT(pitch.x - 20, pitch.y - 8, pitch.x + 20, pitch.y + 8), "1",
                       z->GetParam(kOsc1Pitch));
  act([&](User& u) {
    u.MoveTo(pitch.x, pitch.y);
    u.Type("-7x.");
    u.Tap(XK_Return);
  });
  offscreen->QueueTextEntryAnswer("-7");
  h->CreateTextEntry(findControl<ITdKnobMultiControlText>(h, kOsc1Pitch), IText(), IRECT(), "1",
                     twin->GetParam(kOsc1Pitch));
  EXPECT_FALSE(gui->TextEntryOpen());
  EXPECT_EQ(value(*z, kOsc1Pitch), -7.0);

  for (int p : {kVolume, kFlt1Cutoff, kOsc1Pitch})
    EXPECT_DOUBLE_EQ(value(*z, p), value(*twin, p)) << z->GetParam(p)->GetNameForHost();
  EXPECT_NE(value(*z, kFlt1Cutoff), value(*MakeInstrument(nullptr), kFlt1Cutoff));

  // What the window shows is what the off-screen panel draws.
  offscreen->DrawAll();
  gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
  pump(100ms);
  Display* d = XOpenDisplay(nullptr);
  XImage* image = XGetImage(d, gui->WindowId(), 0, 0, static_cast<unsigned>(gui->Width()),
                            static_cast<unsigned>(gui->Height()), AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int differing = 0;
  for (int i = 0; i < gui->Width() * gui->Height(); ++i) {
    const unsigned long p = XGetPixel(image, i % gui->Width(), i / gui->Width());
    const IColor c = offscreen->GetPixel(i % gui->Width(), i / gui->Width());
    differing += int((p >> 16) & 0xFF) != c.R || int((p >> 8) & 0xFF) != c.G || int(p & 0xFF) != c.B;
  }
  XDestroyImage(image);
  XCloseDisplay(d);
  EXPECT_EQ(differing, 0);
}

TEST_F(X11PanelTest, NameFieldTakesTypingAndProgramMenuTheKeyboard)
{
  const int current = z->GetCurrentPresetIdx();
  act([&](User& u) {
    u.Click(300, 468);
    u.Type("Glass Pad");
    u.Tap(XK_Return);
  });
  EXPECT_EQ(std::string(z->GetPresetName(current)), "Glass Pad");
  act([&](User& u) {
    u.Click(300, 468);
    u.Tap(XK_End);
    u.Type(" X");
    u.Tap(XK_Escape);
  });
  EXPECT_EQ(std::string(z->GetPresetName(current)), "Glass Pad");
  EXPECT_FALSE(gui->TextEntryOpen());

  // The program menu, from the keyboard.
  z->changePreset(3);
  act([&](User& u) {
    u.Click(173, 468);
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 3; ++i) u.Tap(XK_Down); // to "32 - 47"
    u.Tap(XK_Right);                            // into it, on 32
    for (int i = 0; i < 8; ++i) u.Tap(XK_Down);
    u.Tap(XK_Return);
  });
  EXPECT_EQ(z->GetCurrentPresetIdx(), 40);

  // A menu taller than the screen scrolls to keep the chosen entry in view.
  IPopupMenu tall;
  for (int i = 0; i < 64; ++i) tall.AddItem(("Entry " + std::to_string(i)).c_str());
  std::thread user([&] {
    User u(gui->WindowId());
    std::this_thread::sleep_for(300ms);
    for (int i = 0; i < 60; ++i) u.Tap(XK_Down);
    u.Tap(XK_Return);
  });
  IPopupMenu* chosen = gui->CreateIPopupMenu(&tall, IRECT(600, 20, 650, 40));
  user.join();
  EXPECT_EQ(chosen, &tall);
  EXPECT_EQ(tall.GetChosenItemIdx(), 59);

  // A click outside dismisses the menu.
  act([&](User& u) {
    u.Click(173, 468);
    std::this_thread::sleep_for(200ms);
    u.Click(900, 100);
  });
  EXPECT_EQ(z->GetCurrentPresetIdx(), 40);
}

TEST_F(X11PanelTest, SaveProgramGoesThroughTheDesktopChooserAndInitAsksFirst)
{
  // A stand-in for zenity records its arguments and picks a file.
  const fs::path chosen = dir / "picked" / "mine.fxp";
  fs::create_directories(chosen.parent_path());
  standIn("zenity",
          "printf '%s\\n' \"$@\" > '" + (dir / "args").string() + "'\necho '" + chosen.string() + "'\n");

  act([&](User& u) { chooseOption(u, File::kSaveProgram); });

  // Without zenity or kdialog the path is typed into a dialog of our own, which
  // proposes the program's name in the folder used last.
  fs::create_directories(dir / "none");
  setenv("PATH", (dir / "none").c_str(), 1);
  act([&](User& u) {
    chooseOption(u, File::kSaveProgram);
    std::this_thread::sleep_for(300ms);
    u.Tap(XK_Return);
  });
  restorePath();
  EXPECT_TRUE(fs::exists(chosen.parent_path() / (z->proposedProgramFileName() + ".fxp")));

  EXPECT_TRUE(fs::exists(chosen));
  EXPECT_EQ(z->fileFolder, chosen.parent_path().string() + "/");
  const std::string args = readFile((dir / "args").string());
  EXPECT_NE(args.find("--save\n"), std::string::npos) << args;
  EXPECT_NE(args.find("--file-filter=*.fxp\n"), std::string::npos) << args;
  EXPECT_NE(args.find(".fxp\n--file-filter"), std::string::npos) << "the proposed name has the extension";

  // Init Program asks first; No keeps the program.
  const double volume = value(*z, kVolume);
  z->GetParam(kVolume)->Set(0.5 * volume);
  z->OnParamChange(kVolume);
  const IRECT r = options();
  // Chosen with the mouse this time: the entry's row lies under the menu's top.
  int rowY = 4;
  IPopupMenu& menu = findControl<ITdOptionMenu>(gui, PanelCommand::kFileMenu)->GetMenu();
  for (int i = 0; i < File::kInitProgram; ++i) rowY += menu.GetItem(i)->GetIsSeparator() ? 9 : 20;
  auto chooseInit = [&](User& u) {
    u.Click((r.L + r.R) / 2, (r.T + r.B) / 2);
    std::this_thread::sleep_for(200ms);
    u.Click(r.L + 40, r.T + 4 + rowY + 10);
    std::this_thread::sleep_for(300ms);
  };
  act([&](User& u) {
    chooseInit(u);
    u.Tap(XK_Tab); // to "No"
    u.Tap(XK_Return);
  });
  EXPECT_DOUBLE_EQ(value(*z, kVolume), 0.5 * volume);
  act([&](User& u) {
    chooseInit(u);
    u.Tap(XK_Return); // "Yes" is the default
  });
  twin->initPreset();
  EXPECT_DOUBLE_EQ(value(*z, kVolume), value(*twin, kVolume));
  EXPECT_NE(value(*z, kVolume), 0.5 * volume);
}

TEST_F(X11PanelTest, UrlsClipboardTitleClosingAndAHostWindow)
{
  const std::string urlFile = (dir / "url").string();
  standIn("xdg-open",
          "printf '%s|' \"$@\" > '" + urlFile + ".tmp' && mv '" + urlFile + ".tmp' '" + urlFile + "'\n");
  const std::string url = "https://example.org/a b;touch x$(id)";
  EXPECT_TRUE(gui->OpenURL(url.c_str()));
  restorePath();
  for (int i = 0; i < 200 && !fs::exists(dir / "url"); ++i) pump(10ms);
  EXPECT_EQ(readFile(urlFile), url + "|");

  // Another program owns the clipboard and hands its text over.
  std::atomic<bool> owning{false}, stop{false};
  std::thread owner([&] {
    Display* d = XOpenDisplay(nullptr);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", 0), utf8 = XInternAtom(d, "UTF8_STRING", 0);
    XSetSelectionOwner(d, clipboard, w, CurrentTime);
    XSync(d, 0);
    owning = true;
    while (!stop) {
      while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type != SelectionRequest) continue;
        const XSelectionRequestEvent& r = e.xselectionrequest;
        // The text as UTF-8 only; any other target is refused (no property).
        XSelectionEvent reply{SelectionNotify, 0, 0, d, r.requestor, r.selection, r.target, 0, r.time};
        if (r.target == utf8) {
          const std::string text = "Pasted N\u00e4me";
          XChangeProperty(d, r.requestor, r.property, utf8, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
          reply.property = r.property;
        }
        XSendEvent(d, reply.requestor, 0, 0, reinterpret_cast<XEvent*>(&reply));
        XFlush(d);
      }
      std::this_thread::sleep_for(5ms);
    }
    XCloseDisplay(d);
  });
  while (!owning) std::this_thread::sleep_for(5ms);
  std::string text;
  EXPECT_TRUE(gui->GetTextFromClipboard(&text));
  EXPECT_EQ(text, "Pasted N\u00e4me");
  stop = true;
  owner.join();

  // The title, the close button, a closed window's cautious answers, a host's window.
  gui->SetWindowTitle("Zorva - Thunder");
  Display* d = XOpenDisplay(nullptr);
  char* name = nullptr;
  XFetchName(d, gui->WindowId(), &name);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "Zorva - Thunder");
  XFree(name);

  // The window manager's close button: the pump reports it, the window stays.
  EXPECT_TRUE(gui->ProcessEvents());
  XEvent close{};
  close.xclient = {ClientMessage, 0, 0, d, gui->WindowId(), XInternAtom(d, "WM_PROTOCOLS", 0), 32, {}};
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", 0));
  XSendEvent(d, gui->WindowId(), 0, 0, &close);
  XSync(d, 0);
  pump(100ms);
  EXPECT_FALSE(gui->ProcessEvents());
  EXPECT_NE(gui->WindowId(), 0u);

  gui->CloseWindow();
  EXPECT_EQ(gui->WindowId(), 0u);
  EXPECT_EQ(gui->ConnectionNumber(), -1);
  EXPECT_EQ(gui->ShowMessageBox("Sure?", "Question", IGraphics::kMsgBoxTypeYesNo), IGraphics::kMsgBoxNo);
  std::string file = "x", folder;
  gui->PromptForFile(&file, IGraphics::kFileSave, &folder, "fxp");
  EXPECT_EQ(file, "");

  const Window host = XCreateSimpleWindow(d, DefaultRootWindow(d), 50, 40, 1200, 700, 0, 0, 0);
  XMapWindow(d, host);
  XSync(d, 0);
  ASSERT_NE(gui->OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(host))), nullptr);
  pump(200ms);
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  XQueryTree(d, gui->WindowId(), &root, &parent, &kids, &n);
  if (kids) XFree(kids);
  EXPECT_EQ(parent, host);

  const int before = z->GetCurrentPresetIdx();
  const Point next = center(findControl<ITdUtilityKick>(gui, PanelCommand::kNextProgram)->GetRECT());
  act([&](User& u) { u.Click(next.x, next.y); });
  EXPECT_EQ(z->GetCurrentPresetIdx(), (before + 1) % z->NPresets());
  gui->CloseWindow();
  XDestroyWindow(d, host);
  XCloseDisplay(d);
}
