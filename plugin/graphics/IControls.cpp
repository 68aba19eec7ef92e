#include "IControls.h"

#include "IBitmapMonoText.h"
#include "IParam.h"
#include "IPluginBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kMaxCaptionPart = 32;

std::string Truncated(const char* text, size_t maxLen)
{
  std::string s = text ? text : "";
  if (s.size() > maxLen) s.resize(maxLen);
  return s;
}

} // namespace

int IFrameForValue(double value, int nFrames)
{
  if (nFrames < 2) return 1;
  int i = static_cast<int>(0.5 + value * (nFrames - 1));
  i = std::clamp(i, 0, nFrames - 1);
  return i + 1;
}

// --- IPanelControl ---

IPanelControl::IPanelControl(IPluginBase* plug, const IRECT& rect, const IColor& color)
    : IControl(plug, rect), mColor(color)
{
}

bool IPanelControl::Draw(IGraphics* graphics)
{
  return graphics->FillIRect(mColor, mRECT, &mBlend);
}

// --- IBitmapControl and the switches ---

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(plug, IRECT(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx, blendMethod),
      mBitmap(bitmap)
{
}

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, const IBitmap& bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IBitmapControl(plug, x, y, -1, bitmap, blendMethod)
{
}

int IBitmapControl::FrameForValue() const
{
  return IFrameForValue(mValue, mBitmap.N);
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(mBitmap, mRECT, FrameForValue(), &mBlend);
}

ISwitchControl::ISwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IBitmapControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void ISwitchControl::OnMouseDown(int, int, const IMouseMod&)
{
  mValue += mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  // The tolerance keeps the last frame reachable despite rounding in the steps.
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  OnMouseDown(x, y, mod);
}

ISwitchPopUpControl::ISwitchPopUpControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                         IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
  mDisablePrompt = false;
}

void ISwitchPopUpControl::OnMouseDown(int, int, const IMouseMod&)
{
  PromptUserInput();
  SetDirty(true);
}

ISwitchFramesControl::ISwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx,
                                           const IBitmap& bitmap, bool framesAreHorizontal,
                                           IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
  mDisablePrompt = false;
  const int n = std::max(bitmap.N, 1);
  const int start = framesAreHorizontal ? mRECT.L : mRECT.T;
  const float part = static_cast<float>(framesAreHorizontal ? mRECT.W() : mRECT.H()) / static_cast<float>(n);
  for (int k = 0; k < n; ++k) {
    const int from = start + static_cast<int>(static_cast<float>(k) * part);
    const int to = static_cast<int>(static_cast<float>(from) + part);
    mRECTs.push_back(framesAreHorizontal ? IRECT(from, mRECT.T, to, mRECT.B)
                                         : IRECT(mRECT.L, from, mRECT.R, to));
  }
}

void ISwitchFramesControl::OnMouseDown(int x, int y, const IMouseMod&)
{
  const int n = static_cast<int>(mRECTs.size());
  for (int i = 0; i < n; ++i) {
    if (mRECTs[i].Contains(x, y)) {
      mValue = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
      break;
    }
  }
  SetDirty(true);
}

IContactControl::IContactControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                 IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void IContactControl::OnMouseUp(int, int, const IMouseMod&)
{
  mValue = 0.0;
  SetDirty(true);
}

IInvisibleSwitchControl::IInvisibleSwitchControl(IPluginBase* plug, const IRECT& rect, int paramIdx)
    : IControl(plug, rect, paramIdx, IChannelBlend::kBlendClobber)
{
}

void IInvisibleSwitchControl::OnMouseDown(int, int, const IMouseMod&)
{
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx,
                                             const IBitmap& bitmap, const IRECT& targetArea)
    : ISwitchControl(plug, x, y, paramIdx, bitmap), mTargetArea(targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
  if (mValue < 0.5) {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return ISwitchControl::Draw(graphics);
}

// --- IRadioButtonsControl ---

IRadioButtonsControl::IRadioButtonsControl(IPluginBase* plug, const IRECT& rect, int paramIdx, int nButtons,
                                           const IBitmap& bitmap, EDirection direction, bool reverse)
    : IControl(plug, rect, paramIdx), mBitmap(bitmap)
{
  const int n = std::max(nButtons, 1);
  const int w = bitmap.FrameWidth(), h = bitmap.FrameHeight();
  // Buttons spread evenly over the rectangle, the first one at its start.
  const double step = direction == kHorizontal ? double(rect.W() - w) / std::max(n - 1, 1)
                                               : double(rect.H() - h) / std::max(n - 1, 1);
  for (int i = 0; i < n; ++i) {
    const int offset = static_cast<int>(step * (reverse ? n - 1 - i : i));
    mRECTs.push_back(direction == kHorizontal
                         ? IRECT(rect.L + offset, rect.T, rect.L + offset + w, rect.T + h)
                         : IRECT(rect.L, rect.T + offset, rect.L + w, rect.T + offset + h));
  }
}

void IRadioButtonsControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.R) {
    PromptUserInput();
    return;
  }
  const int n = static_cast<int>(mRECTs.size());
  for (int i = 0; i < n; ++i) {
    if (mRECTs[i].Contains(x, y)) {
      mValue = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
      SetDirty(true);
      return;
    }
  }
}

bool IRadioButtonsControl::Draw(IGraphics* graphics)
{
  const int active = IFrameForValue(mValue, static_cast<int>(mRECTs.size())) - 1;
  for (int i = 0; i < static_cast<int>(mRECTs.size()); ++i) {
    graphics->DrawBitmap(mBitmap, mRECTs[i], i == active ? 2 : 1, &mBlend);
  }
  return true;
}

// --- IFaderControl ---

IFaderControl::IFaderControl(IPluginBase* plug, int x, int y, int len, int paramIdx, const IBitmap& bitmap,
                             EDirection direction, bool onlyHandle)
    : IControl(plug, IRECT(), paramIdx), mLen(len), mBitmap(bitmap), mDirection(direction),
      mOnlyHandle(onlyHandle)
{
  if (direction == kVertical) {
    mHandleHeadroom = bitmap.FrameHeight();
    mRECT = mTargetRECT = IRECT(x, y, x + bitmap.FrameWidth(), y + len);
  } else {
    mHandleHeadroom = bitmap.FrameWidth();
    mRECT = mTargetRECT = IRECT(x, y, x + len, y + bitmap.FrameHeight());
  }
}

IRECT IFaderControl::GetHandleRECT(double value) const
{
  if (mDirection == kVertical) {
    const int offset = static_cast<int>((mLen - mHandleHeadroom) * (1.0 - value));
    return IRECT(mRECT.L, mRECT.T + offset, mRECT.R, mRECT.T + offset + mHandleHeadroom);
  }
  const int offset = static_cast<int>((mLen - mHandleHeadroom) * value);
  return IRECT(mRECT.L + offset, mRECT.T, mRECT.L + offset + mHandleHeadroom, mRECT.B);
}

void IFaderControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.R) {
    PromptUserInput();
    return;
  }
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, const IMouseMod&)
{
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseWheel(int, int, const IMouseMod& mod, int delta)
{
  mValue += (mod.C || mod.S ? 0.001 : 0.01) * delta;
  SetDirty(true);
}

void IFaderControl::SnapToMouse(int x, int y)
{
  const int travel = mLen - mHandleHeadroom;
  // A handle as long as the track has nowhere to go.
  if (travel > 0) {
    if (mDirection == kVertical) {
      mValue = 1.0 - static_cast<double>(y - mRECT.T - mHandleHeadroom / 2) / travel;
    } else {
      mValue = static_cast<double>(x - mRECT.L - mHandleHeadroom / 2) / travel;
    }
  }
  SetDirty(true);
}

bool IFaderControl::IsHit(int x, int y) const
{
  if (mOnlyHandle) return GetHandleRECT().Contains(x, y);
  return IControl::IsHit(x, y);
}

bool IFaderControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(mBitmap, GetHandleRECT(), 1, &mBlend);
}

// --- knobs ---

IKnobControl::IKnobControl(IPluginBase* plug, const IRECT& rect, int paramIdx, EDirection direction,
                           double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, const IMouseMod& mod)
{
  const double gearing = mod.C || mod.S ? mGearing * kFineFactor : mGearing;
  if (gearing == 0.0) return;
  if (mDirection == kVertical) {
    if (mRECT.H() == 0) return;
    mValue += static_cast<double>(dY) / static_cast<double>(mRECT.T - mRECT.B) / gearing;
  } else {
    if (mRECT.W() == 0) return;
    mValue += static_cast<double>(dX) / static_cast<double>(mRECT.R - mRECT.L) / gearing;
  }
  SetDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, const IMouseMod& mod, int delta)
{
  mValue += (mod.C || mod.S ? 0.001 : 0.01) * delta;
  SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IPluginBase* plug, const IRECT& rect, int paramIdx, const IColor& color,
                                   double minAngle, double maxAngle, double innerRadius, double outerRadius,
                                   EDirection direction, double gearing)
    : IKnobControl(plug, rect, paramIdx, direction, gearing), mColor(color), mMinAngle(float(minAngle)),
      mMaxAngle(float(maxAngle)), mInnerRadius(float(innerRadius)), mOuterRadius(float(outerRadius))
{
  if (mOuterRadius == 0.0f) mOuterRadius = 0.5f * static_cast<float>(rect.W());
  mBlend = IChannelBlend(IChannelBlend::kBlendClobber);
}

bool IKnobLineControl::Draw(IGraphics* graphics)
{
  const float angle = mMinAngle + static_cast<float>(mValue) * (mMaxAngle - mMinAngle);
  return graphics->DrawRadialLine(mColor, mRECT.MW(), mRECT.MH(), angle, mInnerRadius, mOuterRadius, &mBlend,
                                  true);
}

IKnobRotaterControl::IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                         double minAngle, double maxAngle, int yOffsetZeroDeg,
                                         EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + bitmap.W, y + bitmap.H), paramIdx, direction, gearing),
      mBitmap(bitmap), mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg)
{
}

bool IKnobRotaterControl::Draw(IGraphics* graphics)
{
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedBitmap(mBitmap, static_cast<int>(mRECT.MW()), static_cast<int>(mRECT.MH()),
                                     angle, mYOffset, &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                     EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx, direction,
                   gearing),
      mBitmap(bitmap)
{
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(mBitmap, mRECT, IFrameForValue(mValue, mBitmap.N), &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx,
                                                   const IBitmap& base, const IBitmap& mask,
                                                   const IBitmap& top, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + base.W, y + base.H), paramIdx, direction, gearing), mBase(base),
      mMask(mask), mTop(top), mMinAngle(minAngle), mMaxAngle(maxAngle)
{
}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics)
{
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedMask(mBase, mMask, mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

// --- text ---

ITextControl::ITextControl(IPluginBase* plug, const IRECT& rect, const IText& text, const char* str)
    : IControl(plug, rect), mStr(str ? str : "")
{
  mText = text;
}

bool ITextControl::Draw(IGraphics* graphics)
{
  if (mStr.empty()) return true;
  IRECT rect = mRECT;
  return graphics->DrawIText(&mText, mStr.c_str(), &rect);
}

void ITextControl::SetTextFromPlug(const char* str)
{
  const char* text = str ? str : "";
  if (mStr != text) {
    SetDirty(false);
    mStr = text;
  }
}

ICaptionControl::ICaptionControl(IPluginBase* plug, const IRECT& rect, int paramIdx, const IText& text,
                                 bool showParamLabel)
    : ITextControl(plug, rect, text), mShowParamLabel(showParamLabel)
{
  mParamIdx = paramIdx;
  mDisablePrompt = false;
}

void ICaptionControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (mod.L || mod.R) PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  PromptUserInput();
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
  if (const IParam* param = GetParam()) {
    char display[kMaxParamDisplayLen];
    param->GetDisplayForHost(display, true);
    std::string caption = display;
    const char* label = param->GetLabelForHost();
    if (mShowParamLabel && label && *label) caption += std::string(" ") + label;
    mStr = caption;
  }
  return ITextControl::Draw(graphics);
}

// --- links and files ---

IURLControl::IURLControl(IPluginBase* plug, const IRECT& rect, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(plug, rect), mURL(Truncated(url, kMaxURLLen - 1)),
      mBackupURL(Truncated(backupURL, kMaxURLLen - 1)), mErrMsg(Truncated(errMsgOnFailure, kMaxURLLen - 1))
{
}

void IURLControl::OnMouseDown(int, int, const IMouseMod&)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  bool opened = false;
  if (!mURL.empty()) opened = gui->OpenURL(mURL.c_str(), mErrMsg.c_str());
  if (!opened && !mBackupURL.empty()) gui->OpenURL(mBackupURL.c_str(), mErrMsg.c_str());
}

IFileSelectorControl::IFileSelectorControl(IPluginBase* plug, const IRECT& rect, int paramIdx,
                                           IGraphics::EFileAction action, const char* dir,
                                           const char* extensions)
    : IControl(plug, rect, paramIdx), mFileAction(action), mDir(dir ? dir : ""),
      mExtensions(extensions ? extensions : "")
{
}

void IFileSelectorControl::OnMouseDown(int, int, const IMouseMod&)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  mState = kFSSelecting;
  SetDirty(false);
  gui->PromptForFile(&mFile, mFileAction, &mDir, mExtensions.c_str());
  mValue += 1.0;
  if (mValue > 1.0) mValue = 0.0;
  mState = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::Draw(IGraphics* graphics)
{
  if (mState == kFSSelecting) graphics->FillIRect(mText.mColor, mRECT, &mBlend);
  return graphics->DrawRect(mText.mColor, IRECT(mRECT.L, mRECT.T, mRECT.R - 1, mRECT.B - 1));
}

void IFileSelectorControl::SetLastSelectedFileFromPlug(const char* file)
{
  mFile = file ? file : "";
}

IBitmapTextControl::IBitmapTextControl(IPluginBase* plug, const IRECT& rect, const IBitmap& bitmap,
                                       const char* str, const IText* text, int charWidth, int charHeight,
                                       int charOffset, bool multiLine, bool vCenter)
    : IControl(plug, rect), mStr(str ? str : ""), mCharWidth(charWidth), mCharHeight(charHeight),
      mCharOffset(charOffset), mTextBitmap(bitmap), mMultiLine(multiLine), mVCentre(vCenter)
{
  if (text) mText = *text;
}

bool IBitmapTextControl::Draw(IGraphics* graphics)
{
  DrawBitmapedText(graphics, mTextBitmap, mRECT, mText, &mBlend, mStr.c_str(), mVCentre, mMultiLine,
                   mCharWidth, mCharHeight, mCharOffset);
  return true;
}

void IBitmapTextControl::SetTextFromPlug(const char* str)
{
  const char* text = str ? str : "";
  if (mStr != text) {
    SetDirty(false);
    mStr = text;
  }
}
