#include "IControl.h"

#include "IControls.h"
#include "IGraphics.h"
#include "IParam.h"
#include "IPluginBase.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {
// Longest value or label text a linked display shows.
constexpr size_t kMaxDisplayPart = 32;
} // namespace

IControl::IControl(IPluginBase* plug, const IRECT& rect, int paramIdx,
                   IChannelBlend::EBlendMethod blendMethod)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blendMethod)
{
}

void IControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (mod.R) PromptUserInput();
}

void IControl::OnMouseUp(int, int, const IMouseMod&) {}

void IControl::OnMouseDrag(int, int, int, int, const IMouseMod&) {}

void IControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  if (mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IControl::OnMouseWheel(int, int, const IMouseMod&, int) {}

bool IControl::OnKeyDown(int, int, int)
{
  return false;
}

void IControl::OnMouseOver(int, int, const IMouseMod&) {}

void IControl::OnMouseOut() {}

void IControl::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0) mDefaultValue = mValue = value;
  if (value != mValue) {
    mValue = value;
    SetDirty(false);
    mRedraw = true;
  }
}

void IControl::SetValueFromUserInput(double value)
{
  if (value != mValue) {
    mValue = value;
    SetDirty(true);
    mRedraw = true;
  }
}

void IControl::TextFromTextEntry(const char*) {}

void IControl::Hide(bool hide)
{
  mHide = hide;
  mRedraw = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

bool IControl::IsHit(int x, int y) const
{
  return mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool pushParamToPlug)
{
  mValue = std::clamp(mValue, mClampLo, mClampHi);
  mDirty = true;
  if (!pushParamToPlug || !mPlug || mParamIdx < 0) return;
  mPlug->SetParameterFromGUI(mParamIdx, mValue);
  const IParam* param = GetParam();
  if (!param) return;
  if (mValDisplayControl) {
    char display[kMaxParamDisplayLen];
    param->GetDisplayForHost(display, true);
    std::string text(display, strnlen(display, kMaxDisplayPart));
    const char* label = param->GetLabelForHost();
    text += ' ';
    text.append(label ? label : "", label ? strnlen(label, kMaxDisplayPart) : 0);
    mValDisplayControl->SetTextFromPlug(text.c_str());
  }
  if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(param->GetNameForHost());
}

void IControl::SetClean()
{
  mDirty = mRedraw;
  mRedraw = false;
}

void IControl::OnGUIIdle() {}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value)
{
  AuxParam* aux = GetAuxParam(auxParamIdx);
  if (aux && aux->mValue != value) {
    aux->mValue = value;
    SetDirty(false);
    mRedraw = true;
  }
}

IGraphics* IControl::GetGUI() const
{
  return mPlug ? mPlug->GetGUI() : nullptr;
}

IParam* IControl::GetParam() const
{
  return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr;
}

void IControl::PromptUserInput()
{
  IParam* param = GetParam();
  IGraphics* gui = GetGUI();
  if (!param || !gui || mDisablePrompt) return;
  if (param->GetNDisplayTexts()) {
    gui->PromptUserInput(this, param, &mRECT);
  } else {
    const int mx = static_cast<int>(mRECT.MW()), my = static_cast<int>(mRECT.MH());
    const IRECT field(mx - 20, my - 8, mx + 20, my + 8);
    gui->PromptUserInput(this, param, &field);
  }
  mRedraw = true;
}

void IControl::PromptUserInput(const IRECT& rect)
{
  IParam* param = GetParam();
  IGraphics* gui = GetGUI();
  if (!param || !gui || mDisablePrompt) return;
  gui->PromptUserInput(this, param, &rect);
  mRedraw = true;
}

void IControl::AddAuxParam(int paramIdx)
{
  mAuxParams.push_back(AuxParam{0.0, paramIdx});
}

int IControl::AuxParamIdx(int paramIdx) const
{
  for (int i = 0; i < NAuxParams(); ++i) {
    if (mAuxParams[i].mParamIdx == paramIdx) return i;
  }
  return -1;
}

IControl::AuxParam* IControl::GetAuxParam(int idx)
{
  return idx >= 0 && idx < NAuxParams() ? &mAuxParams[idx] : nullptr;
}

void IControl::SetAllAuxParamsFromGUI()
{
  if (!mPlug) return;
  for (const AuxParam& aux : mAuxParams) mPlug->SetParameterFromGUI(aux.mParamIdx, aux.mValue);
}
