#include "apps/standalone/standalone_graphics.h"

#include "IPluginBase.h"

// Lets go of the plug-in lock the main loop holds while a nested event loop
// waits for the user. A caller further up that holds the lock as well keeps
// it held: the sound then pauses, but nothing races.
class LockReleased
{
public:
  explicit LockReleased(StandaloneGraphics& gui) : mGui(gui), mReleased(gui.mLoopHoldsLock)
  {
    if (mReleased) mGui.mPlugin->GetMutex().Leave();
  }
  ~LockReleased()
  {
    if (mReleased) mGui.mPlugin->GetMutex().Enter();
  }

private:
  StandaloneGraphics& mGui;
  bool mReleased;
};

StandaloneGraphics::StandaloneGraphics(IPluginBase* plug, int width, int height, int fps)
    : IGraphicsLinux(plug, width, height, fps), mPlugin(plug), mOwner(std::this_thread::get_id()),
      mNumParams(plug ? plug->NParams() : 0), mPending(new std::atomic<bool>[size_t(mNumParams)])
{
  for (int i = 0; i < mNumParams; ++i) mPending[size_t(i)] = false;
}

IGraphics* StandaloneGraphics::Create(IPluginBase* plug, int width, int height, int fps)
{
  return new StandaloneGraphics(plug, width, height, fps);
}

void StandaloneGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (std::this_thread::get_id() == mOwner || paramIdx < 0 || paramIdx >= mNumParams) {
    IGraphicsLinux::SetParameterFromPlug(paramIdx, value, normalized);
    return;
  }
  // The parameter holds the value already; only the news travels.
  mPending[size_t(paramIdx)].store(true, std::memory_order_relaxed);
  mAnyPending.store(true, std::memory_order_release);
}

bool StandaloneGraphics::RunEvents()
{
  MutexLock lock(mPlugin->GetMutex());
  mLoopHoldsLock = true;
  const bool alive = ProcessEvents();
  ApplyDeferredUpdates();
  mLoopHoldsLock = false;
  return alive;
}

void StandaloneGraphics::ApplyDeferredUpdates()
{
  if (!mAnyPending.exchange(false, std::memory_order_acquire)) return;
  for (int i = 0; i < mNumParams; ++i)
    if (mPending[size_t(i)].exchange(false, std::memory_order_relaxed))
      IGraphicsLinux::SetParameterFromPlug(i, mPlugin->GetParam(i)->GetNormalized(), true);
}

int StandaloneGraphics::ShowMessageBox(const char* text, const char* caption, int type)
{
  LockReleased released(*this);
  return IGraphicsLinux::ShowMessageBox(text, caption, type);
}

IPopupMenu* StandaloneGraphics::CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect)
{
  LockReleased released(*this);
  return IGraphicsLinux::CreateIPopupMenu(menu, rect);
}

void StandaloneGraphics::PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                                       const char* extensions)
{
  LockReleased released(*this);
  IGraphicsLinux::PromptForFile(filename, action, dir, extensions);
}
