#include "IGraphics.h"

#include "IParam.h"
#include "IPluginBase.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::string WithSlash(std::string folder)
{
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string FolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string EnvOr(const char* name, const std::string& fallback)
{
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

std::string HomeFolder()
{
  return EnvOr("HOME", "/tmp");
}

// The file this code was loaded from: the plug-in's shared object, or the executable
// when it is linked in.
std::string ModulePath()
{
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) && info.dli_fname && info.dli_fname[0] == '/') {
    return info.dli_fname;
  }
  char exe[PATH_MAX];
  const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (len <= 0) return {};
  exe[len] = '\0';
  return exe;
}

} // namespace

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : kDefaultFPS)
{
}

IGraphics::~IGraphics()
{
  delete mKeyCatcher;
}

void IGraphics::Resize(int width, int height)
{
  mWidth = width;
  mHeight = height;
  ReleaseMouseCapture();
  mMouseOver = -1;
  mControls.Clear();
  PrepDraw();
  if (mPlug) mPlug->ResizeGraphics(width, height);
}

void IGraphics::PrepDraw() {}

void IGraphics::HostPath(std::string* path)
{
  char exe[PATH_MAX];
  const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  *path = len > 0 ? std::string(exe, static_cast<size_t>(len)) : std::string();
}

void IGraphics::PluginPath(std::string* path)
{
  const char* resources = std::getenv("ZORVA_RESOURCES");
  if (resources && *resources) {
    *path = WithSlash(resources);
    return;
  }
  const std::string module = ModulePath();
  *path = module.empty() ? std::string("./") : FolderOf(module);
}

void IGraphics::DesktopPath(std::string* path)
{
  *path = WithSlash(EnvOr("XDG_DESKTOP_DIR", HomeFolder() + "/Desktop"));
}

void IGraphics::AppSupportPath(std::string* path, bool isSystem)
{
  *path = isSystem ? std::string("/usr/share/")
                   : WithSlash(EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"));
}

void IGraphics::SandboxSafeAppSupportPath(std::string* path)
{
  *path = WithSlash(HomeFolder() + "/Music");
}

bool IGraphics::PromptForColor(IColor*, const char*)
{
  return false;
}

void* IGraphics::OpenWindow(void*, void*, short, short)
{
  return nullptr;
}

void IGraphics::AttachSubWindow(void*) {}

void IGraphics::RemoveSubWindow() {}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (!normalized) {
    const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->GetNormalized(value);
  }
  for (IControl* control : mControls) {
    if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(value);
    const int auxIdx = control->AuxParamIdx(paramIdx);
    if (auxIdx >= 0) control->SetAuxParamValueFromPlug(auxIdx, value);
  }
}

int IGraphics::AttachControl(IControl* control)
{
  mControls.Add(control);
  return mControls.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* control)
{
  if (control == mKeyCatcher) return;
  delete mKeyCatcher;
  mKeyCatcher = control;
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
  for (IControl* control : mControls) {
    if (control->ParamIdx() == paramIdx) control->Hide(hide);
  }
}

void IGraphics::GrayOutControl(int paramIdx, bool gray)
{
  for (IControl* control : mControls) {
    if (control->ParamIdx() == paramIdx) control->GrayOut(gray);
  }
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized)
{
  if (!normalized) {
    const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    lo = param->GetNormalized(lo);
    hi = param->GetNormalized(hi);
  }
  for (IControl* control : mControls) {
    if (control->ParamIdx() == paramIdx) control->Clamp(lo, hi);
  }
}

void IGraphics::SetAllControlsDirty()
{
  for (IControl* control : mControls) control->SetDirty(false);
}

void IGraphics::SetStrictDrawing(bool strict)
{
  mStrict = strict;
  SetAllControlsDirty();
}

void IGraphics::AssignParamNameToolTips()
{
  for (IControl* control : mControls) {
    if (const IParam* param = control->GetParam()) control->SetTooltip(param->GetNameForHost());
  }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue)
{
  if (IControl* control = GetControl(controlIdx)) control->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  for (IControl* control : mControls) {
    if (control->ParamIdx() == paramIdx) control->SetValueFromUserInput(normalizedValue);
  }
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, const IRECT* rect)
{
  if (!control || !param || !rect) return;
  // Parameters with a list of texts are offered as a menu; that arrives with the menu model.
  if (param->Type() == IParam::kTypeEnum ||
      (param->Type() == IParam::kTypeBool && param->GetNDisplayTexts())) {
    return;
  }
  char current[kMaxParamDisplayLen];
  param->GetDisplayForHost(current, false);
  CreateTextEntry(control, control->GetText(), *rect, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
  if (!control) return;
  if (!param) {
    control->TextFromTextEntry(text ? text : "");
    return;
  }
  double value = 0.0;
  if (text) {
    if (param->Type() == IParam::kTypeEnum || param->Type() == IParam::kTypeBool) {
      int mapped = 0;
      if (param->MapDisplayText(text, &mapped)) value = mapped;
    } else {
      // The leading number; text without one reads as 0.
      value = std::strtod(text, nullptr);
    }
  }
  control->SetValueFromUserInput(param->GetNormalized(value));
}

bool IGraphics::Draw(const IRECT& rect)
{
  const int n = NControls();
  if (n == 0) return true;

  if (mStrict) {
    mDrawRECT = rect;
    for (IControl* control : mControls) {
      if (!control->IsHidden() && rect.Intersects(control->GetRECT())) control->Draw(this);
      control->SetClean();
    }
  } else {
    IControl* background = GetControl(0);
    if (background->IsDirty()) {
      mDrawRECT = background->GetRECT();
      for (int i = 0; i < n; ++i) {
        IControl* control = GetControl(i);
        if (i == 0 || !control->IsHidden()) control->Draw(this);
        control->SetClean();
      }
    } else {
      for (int i = 1; i < n; ++i) {
        IControl* dirty = GetControl(i);
        if (!dirty->IsDirty()) continue;
        mDrawRECT = dirty->GetRECT();
        for (int j = 0; j < n; ++j) {
          IControl* control = GetControl(j);
          if (!control->IsHidden() && (j == i || mDrawRECT.Intersects(control->GetRECT())))
            control->Draw(this);
        }
        dirty->SetClean();
      }
    }
  }
  return DrawScreen(rect);
}

bool IGraphics::IsDirty(IRECT* rect)
{
  bool dirty = false;
  IRECT region;
  for (IControl* control : mControls) {
    if (control->IsDirty()) {
      region = region.Union(control->GetRECT());
      dirty = true;
    }
  }
  if (rect) *rect = region;

  if (dirty) {
    mIdleTicks = 0;
    return true;
  }
  if (mIdleTicks++ >= kIdleTicks) {
    OnGUIIdle();
    mIdleTicks = 0;
  }
  return false;
}

void IGraphics::OnGUIIdle()
{
  if (mPlug) mPlug->OnIdle();
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver)
{
  if (mMouseCapture >= 0) return mMouseCapture;
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* control = GetControl(i);
    if (control->IsHidden()) continue;
    if (control->IsGrayed() && !(mouseOver && control->GetMOWhenGrayed())) continue;
    if (control->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return;
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  IControl* control = GetControl(c);
  if (control->ParamIdx() >= 0 && mPlug) mPlug->BeginInformHostOfParamChange(control->ParamIdx());
  control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  const int c = GetMouseControlIdx(x, y);
  ReleaseMouseCapture();
  IControl* control = GetControl(c);
  if (!control) return;
  control->OnMouseUp(x, y, mod);
  if (control->ParamIdx() >= 0 && mPlug) mPlug->EndInformHostOfParamChange(control->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod)
{
  IControl* control = GetControl(mMouseCapture);
  if (!control) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  if (dX == 0 && dY == 0) return;
  mMouseX = x;
  mMouseY = y;
  control->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  IControl* control = GetControl(c);
  if (!control) return false;
  if (control->GetDblAsSingleClick()) {
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    control->OnMouseDown(x, y, mod);
    return true;
  }
  control->OnMouseDblClick(x, y, mod);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int delta)
{
  if (IControl* control = GetControl(GetMouseControlIdx(x, y))) control->OnMouseWheel(x, y, mod, delta);
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod)
{
  if (!mHandleMouseOver) return false;
  const int c = GetMouseControlIdx(x, y, true);
  if (IControl* control = GetControl(c)) control->OnMouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != c) {
    if (IControl* previous = GetControl(mMouseOver)) previous->OnMouseOut();
  }
  mMouseOver = c;
  return mHandleMouseOver;
}

void IGraphics::OnMouseOut()
{
  for (IControl* control : mControls) control->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
  const int c = GetMouseControlIdx(x, y);
  if (c > 0) return GetControl(c)->OnKeyDown(x, y, key);
  if (mKeyCatcher) return mKeyCatcher->OnKeyDown(x, y, key);
  return false;
}

void IGraphics::ReleaseMouseCapture()
{
  mMouseCapture = mMouseX = mMouseY = -1;
}
