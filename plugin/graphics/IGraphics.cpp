#include "IGraphics.h"

#include "IControls.h"
#include "IParam.h"
#include "IPluginBase.h"
#include "IPopupMenu.h"
#include "ResourceFolder.h"
#include "raster/raster.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::string WithSlash(std::string folder)
{
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The folder part of a path, with its slash; "./" for a bare name.
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

RstColor ToRst(const IColor& c)
{
  auto channel = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  return {channel(c.A), channel(c.R), channel(c.G), channel(c.B)};
}

RstPaint ToPaint(const IChannelBlend* blend, bool antiAlias = false)
{
  RstPaint paint;
  paint.antialias = antiAlias;
  if (!blend) return paint;
  paint.weight = blend->mWeight;
  switch (blend->mMethod) {
  case IChannelBlend::kBlendClobber: paint.mode = RstMode::kCopy; break;
  case IChannelBlend::kBlendAdd: paint.mode = RstMode::kAdd; break;
  case IChannelBlend::kBlendColorDodge: paint.mode = RstMode::kDodge; break;
  default: paint.mode = RstMode::kBlend; break;
  }
  return paint;
}

RstRect ToRst(const IRECT& r)
{
  return {r.L, r.T, r.R, r.B};
}

// Images and fonts are shared by every editor in the process. Function-local so that
// they exist before the first editor and outlive the last.
struct BitmapEntry
{
  int mID;
  std::unique_ptr<RstBitmap> mBitmap;
};

struct BitmapStorage
{
  std::recursive_mutex mMutex;
  std::vector<BitmapEntry> mEntries;
};

BitmapStorage& Bitmaps()
{
  static BitmapStorage storage;
  return storage;
}

struct FontEntry
{
  int mSize, mOrientation, mStyle;
  std::string mFace;
  std::unique_ptr<RstFont> mFont;
};

struct FontStorage
{
  std::recursive_mutex mMutex;
  std::vector<FontEntry> mEntries;
};

FontStorage& Fonts()
{
  static FontStorage storage;
  return storage;
}

bool EndsWithPng(const std::string& name)
{
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png";
}

} // namespace

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : kDefaultFPS)
{
  IGraphics::PrepDraw();
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

void IGraphics::PrepDraw()
{
  mDrawBitmap = RstBitmap::Create(std::max(mWidth, 0), std::max(mHeight, 0), RstBitmapKind::kSystem);
  mTmpBitmap = RstBitmap::Create(0, 0);
}

void IGraphics::HostPath(std::string* path)
{
  char exe[PATH_MAX];
  const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  *path = len > 0 ? std::string(exe, static_cast<size_t>(len)) : std::string();
}

void IGraphics::PluginPath(std::string* path)
{
  *path = ResourceFolder();
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

int IGraphics::CautiousAnswer(int type)
{
  switch (type) {
  case kMsgBoxTypeYesNo: return kMsgBoxNo;
  case kMsgBoxTypeOKCancel:
  case kMsgBoxTypeYesNoCancel: return kMsgBoxCancel;
  default: return kMsgBoxOK;
  }
}

std::string IGraphics::FileDialogFolder(std::string* dir)
{
  std::string start = dir ? *dir : std::string();
  if (start.empty()) {
    DesktopPath(&start);
    if (dir) *dir = start;
  }
  return start;
}

void IGraphics::TakeChosenFile(const std::string& path, std::string* filename, std::string* dir)
{
  if (filename) *filename = path;
  if (path.empty() || !dir) return;
  *dir = FolderOf(path);
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
  if (param->Type() == IParam::kTypeEnum ||
      (param->Type() == IParam::kTypeBool && param->GetNDisplayTexts())) {
    char current[kMaxParamDisplayLen];
    param->GetDisplayForHost(current, true);
    IPopupMenu menu;
    const int n = param->GetNDisplayTexts();
    for (int i = 0; i < n; ++i) {
      const char* text = param->GetDisplayTextAtIdx(i);
      IPopupMenuItem* item = menu.AddItem(text ? text : "");
      if (text && std::strcmp(text, current) == 0) item->SetChecked(true);
    }
    if (IPopupMenu* chosen = CreateIPopupMenu(&menu, *rect)) {
      const int idx = chosen->GetChosenItemIdx();
      if (chosen == &menu && idx >= 0 && idx < n) control->SetValueFromUserInput(param->GetNormalized(idx));
    }
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

void IGraphics::AttachBackground(int ID, const char* name)
{
  const IBitmap bitmap = LoadIBitmap(ID, name, 1);
  mControls.Insert(0, new IBitmapControl(mPlug, 0, 0, -1, bitmap, IChannelBlend::kBlendClobber));
}

void IGraphics::AttachPanelBackground(const IColor& color)
{
  mControls.Insert(0, new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color));
}

RstBitmap* IGraphics::OSLoadBitmap(int, const char* name)
{
  if (!name) return nullptr;
  std::string relative = name;
  if (!EndsWithPng(relative)) return nullptr;
  static const std::string kPrefix = "resources/";
  if (relative.compare(0, kPrefix.size(), kPrefix) == 0) relative.erase(0, kPrefix.size());
  // Image names are relative to the resource folder and never leave it.
  if (relative.empty() || relative.front() == '/' || relative.find("..") != std::string::npos) return nullptr;
  std::string folder;
  PluginPath(&folder);
  return RstLoadPng(folder + relative).release();
}

IBitmap IGraphics::LoadIBitmap(int ID, const char* name, int nFrames, bool framesAreHorizontal)
{
  BitmapStorage& cache = Bitmaps();
  RstBitmap* found = nullptr;
  {
    std::lock_guard lock(cache.mMutex);
    for (const BitmapEntry& entry : cache.mEntries) {
      if (entry.mID == ID && entry.mBitmap) {
        found = entry.mBitmap.get();
        break;
      }
    }
  }
  if (!found) {
    // Decoding takes a while: other editors may use the cache meanwhile.
    std::unique_ptr<RstBitmap> decoded(OSLoadBitmap(ID, name));
    if (decoded) {
      std::lock_guard lock(cache.mMutex);
      // Another editor may have loaded the same ID in the meantime: share its copy.
      for (const BitmapEntry& entry : cache.mEntries) {
        if (entry.mID == ID && entry.mBitmap) found = entry.mBitmap.get();
      }
      if (!found) {
        found = decoded.get();
        cache.mEntries.push_back({ID, std::move(decoded)});
      }
    }
  }
  if (!found) {
    if (mMissingBitmap.empty()) {
      std::string folder;
      PluginPath(&folder);
      std::string relative = name ? name : "";
      if (relative.rfind("resources/", 0) == 0) relative.erase(0, 10);
      mMissingBitmap = folder + relative;
    }
    return IBitmap(nullptr, 0, 0, std::max(nFrames, 1), framesAreHorizontal);
  }
  return IBitmap(found, found->Width(), found->Height(), std::max(nFrames, 1), framesAreHorizontal);
}

void IGraphics::RetainBitmap(RstBitmap* bitmap)
{
  if (!bitmap) return;
  BitmapStorage& cache = Bitmaps();
  std::lock_guard lock(cache.mMutex);
  cache.mEntries.push_back({-1, std::unique_ptr<RstBitmap>(bitmap)});
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap)
{
  if (!bitmap || !bitmap->mData) return;
  BitmapStorage& cache = Bitmaps();
  std::lock_guard lock(cache.mMutex);
  for (auto it = cache.mEntries.begin(); it != cache.mEntries.end(); ++it) {
    if (it->mBitmap.get() == bitmap->mData) {
      cache.mEntries.erase(it);
      break;
    }
  }
  bitmap->mData = nullptr;
}

IBitmap IGraphics::ScaleBitmap(const IBitmap& bitmap, int w, int h)
{
  if (!bitmap.mData) return IBitmap(nullptr, 0, 0, bitmap.N);
  std::unique_ptr<RstBitmap> scaled = RstBitmap::Create(w, h);
  if (!scaled) return IBitmap(nullptr, 0, 0, bitmap.N);
  scaled->BlitScaled(scaled->Bounds(), *bitmap.mData, bitmap.mData->Bounds(), RstPaint{RstMode::kCopy});
  RstBitmap* raw = scaled.release();
  RetainBitmap(raw);
  return IBitmap(raw, w, h, bitmap.N);
}

IBitmap IGraphics::CropBitmap(const IBitmap& bitmap, const IRECT& rect)
{
  if (!bitmap.mData) return IBitmap(nullptr, 0, 0, bitmap.N);
  std::unique_ptr<RstBitmap> cropped = RstBitmap::Create(rect.W(), rect.H());
  if (!cropped) return IBitmap(nullptr, 0, 0, bitmap.N);
  cropped->Blit(0, 0, *bitmap.mData, ToRst(rect), RstPaint{RstMode::kCopy});
  RstBitmap* raw = cropped.release();
  RetainBitmap(raw);
  return IBitmap(raw, rect.W(), rect.H(), bitmap.N);
}

RstFont* IGraphics::CacheFont(IText* text)
{
  if (!text) return nullptr;
  FontStorage& cache = Fonts();
  std::lock_guard lock(cache.mMutex);
  for (const FontEntry& entry : cache.mEntries) {
    if (entry.mSize == text->mSize && entry.mOrientation == text->mOrientation &&
        entry.mStyle == static_cast<int>(text->mStyle) && entry.mFace == text->mFont) {
      text->mCached = entry.mFont.get();
      return text->mCached;
    }
  }
  RstFontSpec spec;
  spec.face = text->mFont.substr(0, IText::kMaxFontNameLen);
  spec.size = std::max(text->mSize, 2);
  spec.bold = text->mStyle == IText::kStyleBold;
  spec.italic = text->mStyle == IText::kStyleItalic;
  spec.orientation = text->mOrientation;
  spec.antialias = text->mQuality != IText::kQualityNonAntiAliased;
  std::unique_ptr<RstFont> font = RstFont::Create(spec);
  if (!font) return nullptr;
  // The size asked for is the line height; correct the em size once to get it.
  if (font->LineHeight() > 0 && font->LineHeight() != text->mSize) {
    const double numerator = text->mSize < 2 ? 4.0 : double(text->mSize) * double(text->mSize);
    spec.size = std::max(1.0, std::round(numerator / font->LineHeight()));
    if (std::unique_ptr<RstFont> corrected = RstFont::Create(spec)) font = std::move(corrected);
  }
  text->mCached = font.get();
  cache.mEntries.push_back(
      {text->mSize, text->mOrientation, static_cast<int>(text->mStyle), text->mFont, std::move(font)});
  return text->mCached;
}

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* rect)
{
  return DrawIText(text, str, rect, true);
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect, bool measure)
{
  if (!str || !*str) return true;
  if (!text || !rect) return false;
  RstFont* font = text->mCached ? text->mCached : CacheFont(text);
  if (!font) return false;
  const RstAlign align = text->mAlign == IText::kAlignNear  ? RstAlign::kNear
                         : text->mAlign == IText::kAlignFar ? RstAlign::kFar
                                                            : RstAlign::kCenter;
  if (measure) {
    const RstSize size = font->Measure(str);
    switch (text->mAlign) {
    case IText::kAlignCenter:
      rect->L = static_cast<int>(std::floor((rect->L + rect->R) * 0.5)) - size.w / 2;
      rect->R = rect->L + size.w;
      break;
    case IText::kAlignFar: rect->L = rect->R - size.w; break;
    default: rect->R = rect->L + size.w; break;
    }
    rect->B = rect->T + size.h;
    return true;
  }
  if (mDrawBitmap) mDrawBitmap->DrawText(*font, str, ToRst(*rect), align, ToRst(text->mColor));
  return true;
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                           const IChannelBlend* blend)
{
  if (!bitmap.mData || !mDrawBitmap) return false;
  const IRECT r = dest.Intersect(mDrawRECT);
  if (r.Empty()) return true;
  srcX += r.L - dest.L;
  srcY += r.T - dest.T;
  mDrawBitmap->Blit(r.L, r.T, *bitmap.mData, RstRect{srcX, srcY, srcX + r.W(), srcY + r.H()}, ToPaint(blend));
  return true;
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame, const IChannelBlend* blend)
{
  int srcX = 0, srcY = 0;
  if (bitmap.N > 1 && frame > 1) {
    if (bitmap.mFramesAreHorizontal) {
      srcX = static_cast<int>(0.5 + double(bitmap.W) * (frame - 1) / bitmap.N);
    } else {
      srcY = static_cast<int>(0.5 + double(bitmap.H) * (frame - 1) / bitmap.N);
    }
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle,
                                  int yOffsetZeroDeg, const IChannelBlend* blend)
{
  if (!bitmap.mData || !mDrawBitmap) return false;
  const int destX = destCtrX - bitmap.W / 2, destY = destCtrY - bitmap.H / 2;
  const double pivotX = 0.5 * bitmap.W, pivotY = 0.5 * bitmap.H + yOffsetZeroDeg;
  mDrawBitmap->BlitRotated(*bitmap.mData, bitmap.mData->Bounds(), pivotX, pivotY, destX + pivotX,
                           destY + pivotY, angle, ToPaint(blend));
  return true;
}

bool IGraphics::DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                double angle, const IChannelBlend* blend)
{
  if (!base.mData || !mask.mData || !top.mData || !mDrawBitmap || !mTmpBitmap) return false;
  if (!mTmpBitmap->CopyFrom(*base.mData)) return false;
  const double rad = angle * 3.14159265358979323846 / 180.0;
  // The pivots are pixel edges here, so W / 2 is the true centre for odd widths too.
  const double cx = 0.5 * base.W, cy = 0.5 * base.H;
  // Keeps the base only where the turned mask lets it through.
  mTmpBitmap->BlitRotated(*mask.mData, mask.mData->Bounds(), 0.5 * mask.W, 0.5 * mask.H, cx, cy, rad,
                          RstPaint{RstMode::kAlphaMask});
  mTmpBitmap->BlitRotated(*top.mData, top.mData->Bounds(), 0.5 * top.W, 0.5 * top.H, cx, cy, rad,
                          RstPaint{RstMode::kBlend});
  const IRECT dest(x, y, x + base.W, y + base.H);
  const IRECT r = dest.Intersect(mDrawRECT);
  if (r.Empty()) return true;
  mDrawBitmap->Blit(r.L, r.T, *mTmpBitmap, RstRect{r.L - x, r.T - y, r.R - x, r.B - y}, ToPaint(blend));
  return true;
}

bool IGraphics::DrawPoint(const IColor& color, float x, float y, const IChannelBlend* blend, bool antiAlias)
{
  if (!mDrawBitmap || !std::isfinite(x) || !std::isfinite(y)) return false;
  mDrawBitmap->PutPixel(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)), ToRst(color),
                        ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::ForcePixel(const IColor& color, int x, int y)
{
  if (!mDrawBitmap || x < 0 || y < 0 || x >= mDrawBitmap->Width() || y >= mDrawBitmap->Height()) return false;
  mDrawBitmap->Row(y)[x] = RstPremultiply(ToRst(color));
  mDrawBitmap->MarkDirty();
  return true;
}

bool IGraphics::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->Line(x1, y1, x2, y2, ToRst(color), ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->Arc(cx, cy, r, minAngle, maxAngle, ToRst(color), ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* blend,
                           bool antiAlias)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->Circle(cx, cy, r, ToRst(color), ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::RoundRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend,
                          int cornerRadius, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->RoundRect(rect.L, rect.T, rect.R, rect.B, cornerRadius, ToRst(color),
                         ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::FillRoundRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend,
                              int cornerRadius, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const int r = cornerRadius;
  const RstColor c = ToRst(color);
  const RstPaint paint = ToPaint(blend, antiAlias);
  mDrawBitmap->FillRect(RstRect{rect.L + r, rect.T, rect.R - r, rect.B}, c, paint);
  mDrawBitmap->FillRect(RstRect{rect.L, rect.T + r, rect.L + r, rect.B - r}, c, paint);
  mDrawBitmap->FillRect(RstRect{rect.R - r, rect.T + r, rect.R, rect.B - r}, c, paint);
  mDrawBitmap->FillCircle(rect.L + r, rect.T + r, r, c, paint);
  mDrawBitmap->FillCircle(rect.R - r - 1, rect.B - r - 1, r, c, paint);
  mDrawBitmap->FillCircle(rect.R - r - 1, rect.T + r, r, c, paint);
  mDrawBitmap->FillCircle(rect.L + r, rect.B - r - 1, r, c, paint);
  return true;
}

bool IGraphics::FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->FillRect(ToRst(rect), ToRst(color), ToPaint(blend));
  return true;
}

bool IGraphics::FillCircle(const IColor& color, int cx, int cy, float r, const IChannelBlend* blend,
                           bool antiAlias)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->FillCircle(cx, cy, r, ToRst(color), ToPaint(blend, antiAlias));
  return true;
}

bool IGraphics::FillTriangle(const IColor& color, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* blend)
{
  if (!mDrawBitmap) return false;
  mDrawBitmap->FillTriangle(x1, y1, x2, y2, x3, y3, ToRst(color), ToPaint(blend));
  return true;
}

bool IGraphics::FillIConvexPolygon(const IColor& color, const int* x, const int* y, int nPoints,
                                   const IChannelBlend* blend)
{
  if (!mDrawBitmap || !x || !y || nPoints < 3) return false;
  mDrawBitmap->FillConvexPolygon(x, y, nPoints, ToRst(color), ToPaint(blend));
  return true;
}

IColor IGraphics::GetPoint(int x, int y) const
{
  if (!mDrawBitmap) return COLOR_TRANSPARENT;
  const RstColor c = mDrawBitmap->GetColor(x, y);
  return IColor(c.a, c.r, c.g, c.b);
}

bool IGraphics::DrawVerticalLine(const IColor& color, int xi, int yLo, int yHi)
{
  return DrawLine(color, float(xi), float(yLo), float(xi), float(yHi));
}

bool IGraphics::DrawHorizontalLine(const IColor& color, int yi, int xLo, int xHi)
{
  return DrawLine(color, float(xLo), float(yi), float(xHi), float(yi));
}

bool IGraphics::DrawVerticalLine(const IColor& color, const IRECT& rect, float x)
{
  x = std::clamp(x, 0.0f, 1.0f);
  const int xi = rect.L + static_cast<int>(x * rect.W());
  return DrawVerticalLine(color, xi, rect.T, rect.B);
}

bool IGraphics::DrawHorizontalLine(const IColor& color, const IRECT& rect, float y)
{
  y = std::clamp(y, 0.0f, 1.0f);
  const int yi = rect.B - static_cast<int>(y * rect.H());
  return DrawHorizontalLine(color, yi, rect.L, rect.R);
}

bool IGraphics::DrawRect(const IColor& color, const IRECT& rect)
{
  bool ok = DrawHorizontalLine(color, rect.T, rect.L, rect.R);
  ok &= DrawHorizontalLine(color, rect.B, rect.L, rect.R);
  ok &= DrawVerticalLine(color, rect.L, rect.T, rect.B);
  ok &= DrawVerticalLine(color, rect.R, rect.T, rect.B);
  return ok;
}

bool IGraphics::DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool antiAlias)
{
  const float s = std::sin(angle), c = std::cos(angle);
  return DrawLine(color, cx + s * rMin, cy - c * rMin, cx + s * rMax, cy - c * rMax, blend, antiAlias);
}
