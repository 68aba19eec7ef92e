#pragma once

#include "IGraphics.h"

#include <memory>
#include <string>

// Xlib defines ConnectionNumber as a macro; XConnectionNumber is its function twin.
// Include this header after any Xlib header so that the method below is not mistaken
// for the macro.
#ifdef ConnectionNumber
#undef ConnectionNumber
#endif

// The editor in an X11 window: top-level (standalone app) or inside a host's window
// (LV2 UI). Menus, text fields and message boxes are drawn by the editor itself; file
// dialogs use the desktop's chooser (zenity, kdialog) when one is installed.
//
// Until OpenWindow succeeds it behaves like the off-screen editor, so an instrument
// can be built without a display: questions to the user get the cautious answer.
//
// Threads: every call but SetParameterFromPlug belongs to the thread that owns the
// event loop. Each editor opens its own display connection, so other X clients in the
// same process (a host's own windows) are never disturbed.
class IGraphicsLinux : public IGraphics
{
public:
  IGraphicsLinux(IPluginBase* plug, int width, int height, int fps);
  ~IGraphicsLinux() override;

  // The factory for SetGraphicsFactory.
  static IGraphics* Create(IPluginBase* plug, int width, int height, int fps);

  // parent: an X11 window id as (void*)(uintptr_t)id to embed in; nullptr opens a
  // top-level window. Returns the window, or nullptr when no display can be opened.
  void* OpenWindow(void* parent) override;
  using IGraphics::OpenWindow;
  void CloseWindow() override;
  void* GetWindow() override;

  // Handles every pending X event and runs the timer tick when it is due; never
  // blocks. False once the user asked to close a top-level window.
  bool ProcessEvents();
  // The X connection's file descriptor, for poll(); -1 while closed.
  int ConnectionNumber() const;
  // Milliseconds until the next timer tick is due (0 when it is due now).
  int MillisecondsToNextTick() const;
  void SetWindowTitle(const std::string& title);
  // The X window, 0 while closed.
  unsigned long WindowId() const;
  bool TextEntryOpen() const;

  // --- IGraphics ---
  bool DrawScreen(const IRECT& rect) override;
  void ForceEndUserEdit() override;
  void Resize(int width, int height) override;
  const char* GetGUIAPI() override { return "X11 GUI"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* str,
                       IParam* param) override;
  void PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                     const char* extensions) override;
  bool OpenURL(const char* url, const char* errMsgOnFailure = nullptr) override;
  bool GetTextFromClipboard(std::string* text) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;

  struct Impl; // the X side, in the implementation files only

private:
  std::unique_ptr<Impl> mImpl;
  std::string mTitle = "Zorva";
};
