#pragma once

// The panel's window in the standalone app: the X11 layer with the app's
// threading rules added.
//
// The main loop runs the window's events under the plug-in lock, so editor
// changes never race with rendering. Two things would go wrong with that alone,
// and are handled here:
// - popup menus, message boxes and file choosers run their own event loops for
//   as long as the user takes; the lock is let go meanwhile, so the sound does
//   not stop while a menu is open;
// - the audio thread moves controls too (learned controllers, program changes
//   by MIDI); those updates are only marked here and reach the controls on the
//   main thread, between event loops, where nothing draws them concurrently.

#include "IGraphicsLinux.h"

#include <atomic>
#include <memory>
#include <thread>

class StandaloneGraphics : public IGraphicsLinux
{
public:
  StandaloneGraphics(IPluginBase* plug, int width, int height, int fps);
  static IGraphics* Create(IPluginBase* plug, int width, int height, int fps);

  // The main loop's turn: pending events and the timer tick under the plug-in
  // lock, then the controls the audio thread moved. False once the user closed
  // the window.
  bool RunEvents();

  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect) override;
  void PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                     const char* extensions) override;

private:
  friend class LockReleased;
  void ApplyDeferredUpdates();

  IPluginBase* mPlugin;
  bool mLoopHoldsLock = false;
  std::thread::id mOwner;
  int mNumParams;
  std::unique_ptr<std::atomic<bool>[]> mPending;
  std::atomic<bool> mAnyPending{false};
};
