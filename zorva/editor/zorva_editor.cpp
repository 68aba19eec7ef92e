#include "zorva/editor/zorva_editor.h"

#include "plugin/IParam.h"
#include "plugin/IPluginBase.h"
#include "zorva/editor/file_commands.h"
#include "zorva/synth.h"
#include "zorva/zorva.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace PanelText {
IText valueText()
{
  return IText(11, IColor(160, 255, 255, 192), "Arial", IText::kStyleNormal, IText::kAlignCenter, 0,
               IText::kQualityClearType);
}
IText switchLabel()
{
  return IText(11, IColor(192, 255, 255, 255), "Arial", IText::kStyleNormal, IText::kAlignCenter, 0,
               IText::kQualityClearType);
}
IText programDisplay()
{
  return IText(13, IColor(160, 255, 255, 192), "Arial", IText::kStyleNormal, IText::kAlignCenter);
}
} // namespace PanelText

namespace {
// Parameter texts are at most this long; the buffers leave room for both parts.
constexpr int kDisplayLen = 128;

IRECT labelRECTOf(const IRECT& r)
{
  return IRECT(r.L + 5, r.T + 3, r.R - 6, r.B - 6);
}

std::string displayWithLabel(const IParam* param)
{
  if (!param) return "";
  char display[kDisplayLen] = {};
  param->GetDisplayForHost(display);
  std::string text = display;
  if (const char* label = param->GetLabelForHost()) text += label;
  return text;
}

void drawText(IGraphics* graphics, IText* style, const std::string& text, const IRECT& rect)
{
  if (text.empty()) return;
  IRECT r = rect;
  graphics->DrawIText(style, text.c_str(), &r);
}
} // namespace

double normalizedDefault(const IParam* param)
{
  if (!param) return 0.0;
  const double range = param->GetMax() - param->GetMin();
  if (range <= 0.0) return 0.0;
  const double ratio = std::clamp((param->GetDefault() - param->GetMin()) / range, 0.0, 1.0);
  return std::pow(ratio, 1.0 / param->GetShape());
}

// --- knobs and their buttons ---

ITdPlusMinusKick::ITdPlusMinusKick(IPluginBase* plug, int x, int y, int commandIdx, const IBitmap& bitmap,
                                   bool plus)
    : IContactControl(plug, x, y, commandIdx, bitmap), mPlus(plus)
{
}

void ITdPlusMinusKick::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  IContactControl::OnMouseUp(x, y, mod);
  if (mParamIdx < -99 || mParamIdx > 0) return;
  const int paramIdx = -mParamIdx;
  IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  if (!param) return;
  const double step = mPlus ? param->GetStep() : -param->GetStep();
  const double value = std::clamp(param->Value() + step, param->GetMin(), param->GetMax());
  mPlug->SetParameterFromGUI(paramIdx, param->GetNormalized(value));
  // Every control of the parameter follows, the knob above included.
  if (IGraphics* gui = GetGUI()) gui->SetParameterFromPlug(paramIdx, value, false);
}

ITdKnobMultiControlText::ITdKnobMultiControlText(IPluginBase* plug, IGraphics* graphics, int x, int y,
                                                 int paramIdx, const IBitmap& knob)
    : IKnobControl(plug, IRECT(x, y, x + knob.W, y + knob.FrameHeight() + 16), paramIdx, kVertical),
      mKnobRECT(x, y, x + knob.W, y + knob.FrameHeight()), mBitmap(knob)
{
  const int bottom = mKnobRECT.B;
  mTextRECT = IRECT(x - 4, bottom + 6, x + knob.W + 4, bottom + 16);
  mText = PanelText::valueText();
  mDefaultValue = normalizedDefault(GetParam());
  mPlusBitmap = graphics->LoadIBitmap(116, "resources/img/button_plus.png", 2);
  mMinusBitmap = graphics->LoadIBitmap(117, "resources/img/button_minus.png", 2);
  graphics->AttachControl(new ITdPlusMinusKick(plug, x - 4, bottom - 6, -paramIdx, mMinusBitmap, false));
  graphics->AttachControl(
      new ITdPlusMinusKick(plug, x + knob.W - 7, bottom - 6, -paramIdx, mPlusBitmap, true));
}

std::string ITdKnobMultiControlText::ValueText() const
{
  return displayWithLabel(GetParam());
}

bool ITdKnobMultiControlText::Draw(IGraphics* graphics)
{
  graphics->DrawBitmap(mBitmap, mKnobRECT, IFrameForValue(mValue, mBitmap.N), &mBlend);
  drawText(graphics, &mText, ValueText(), mTextRECT);
  return true;
}

const char* const ITdLFORateControl::labelSyncRates[kNumSyncRates] = {
    "8/1",  "4/1.", "4/1",  "2/1.", "2/1", "1/1.",  "1/1",  "1/2.", "1/2",   "1/4.",
    "1/2T", "1/4",  "1/8.", "1/4T", "1/8", "1/16.", "1/8T", "1/16", "1/32.", "1/32"};

ITdLFORateControl::ITdLFORateControl(IPluginBase* plug, IGraphics* graphics, int x, int y, int paramIdx,
                                     const IBitmap& knob, int syncParamIdx)
    : ITdKnobMultiControlText(plug, graphics, x, y, paramIdx, knob), mSyncParamIdx(syncParamIdx)
{
}

std::string ITdLFORateControl::ValueText() const
{
  const IParam* sync = mPlug ? mPlug->GetParam(mSyncParamIdx) : nullptr;
  if (sync && sync->Value() >= 0.5) {
    const int index =
        std::clamp(static_cast<int>(std::floor(mValue * (kNumSyncRates - 1) + 0.5)), 0, kNumSyncRates - 1);
    return labelSyncRates[index];
  }
  return ITdKnobMultiControlText::ValueText();
}

// --- program buttons and display ---

ITdUtilityKick::ITdUtilityKick(IPluginBase* plug, int x, int y, int commandIdx, const IBitmap& bitmap,
                               Synth* synth)
    : IContactControl(plug, x, y, commandIdx, bitmap), mSynth(synth)
{
}

void ITdUtilityKick::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  IContactControl::OnMouseUp(x, y, mod);
  if (!mSynth) return;
  const int last = mSynth->NPresets() - 1;
  const int current = mSynth->GetCurrentPresetIdx();
  if (mParamIdx == PanelCommand::kNextProgram)
    mSynth->changePreset(current >= last ? 0 : current + 1);
  else if (mParamIdx == PanelCommand::kPreviousProgram)
    mSynth->changePreset(current <= 0 ? last : current - 1);
}

ITdPresetMenu::ITdPresetMenu(Synth* synth, const IRECT& numberRECT, const IRECT& nameRECT)
    : IControl(synth, numberRECT.Union(nameRECT)), mSynth(synth), mNumberRECT(numberRECT), mNameRECT(nameRECT)
{
  mText = PanelText::programDisplay();
  mTextEntryLength = 253;
}

bool ITdPresetMenu::Draw(IGraphics* graphics)
{
  const int current = mSynth->GetCurrentPresetIdx();
  char number[16];
  std::snprintf(number, sizeof(number), "%02d", current);
  mNumber = number;
  mName = mSynth->GetPresetName(current);
  if (mName.size() > kMaxShownName) mName.resize(kMaxShownName);
  graphics->FillIRect(COLOR_TRANSPARENT, mNumberRECT, &mBlend);
  graphics->FillIRect(COLOR_TRANSPARENT, mNameRECT, &mBlend);
  drawText(graphics, &mText, mNumber, mNumberRECT);
  drawText(graphics, &mText, mName, mNameRECT);
  return true;
}

void ITdPresetMenu::OnMouseDown(int x, int y, const IMouseMod&)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  if (mNameRECT.Contains(x, y))
    gui->CreateTextEntry(this, mText, mNameRECT, mSynth->GetPresetName(mSynth->GetCurrentPresetIdx()),
                         nullptr);
  else
    showProgramMenu();
  gui->SetAllControlsDirty();
}

void ITdPresetMenu::showProgramMenu()
{
  IPopupMenu menu;
  // Kept alive while the menu is shown; the menu only links them.
  std::unique_ptr<IPopupMenu> submenus[kNumSubmenus];
  const int nPrograms = mSynth->NPresets();
  const int current = mSynth->GetCurrentPresetIdx();
  IPopupMenu* submenu = nullptr;
  for (int i = 0; i < nPrograms; ++i) {
    const int group = i / kProgramsPerSubmenu;
    if (i % kProgramsPerSubmenu == 0 && group < kNumSubmenus) {
      submenus[group] = std::make_unique<IPopupMenu>();
      submenu = submenus[group].get();
      char title[32];
      std::snprintf(title, sizeof(title), "%02d - %02d", i, i + kProgramsPerSubmenu - 1);
      menu.AddItem(title, submenu);
    }
    char text[300];
    std::snprintf(text, sizeof(text), "%02u: %s", static_cast<unsigned>(i), mSynth->GetPresetName(i));
    submenu->AddItem(text, -1, i == current ? IPopupMenuItem::kChecked : IPopupMenuItem::kNoFlags);
  }

  IPopupMenu* chosen = GetGUI()->CreateIPopupMenu(&menu, mRECT);
  if (!chosen) return;
  int program = chosen->GetChosenItemIdx();
  for (int group = 1; group < kNumSubmenus; ++group) {
    if (submenus[group] && chosen == submenus[group].get()) program += group * kProgramsPerSubmenu;
  }
  if (chosen->GetChosenItemIdx() >= 0 && program < nPrograms) mSynth->changePreset(program);
}

void ITdPresetMenu::TextFromTextEntry(const char* text)
{
  std::string name = text ? text : "";
  if (name.size() > kMaxName) name.resize(kMaxName);
  mSynth->ModifyCurrentPreset(name.c_str());
  mSynth->InformHostOfProgramChange();
  mSynth->DirtyParameters();
  SetDirty(false);
}

// --- switches ---

ITdSwitchControl::ITdSwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                   const char* label)
    : ISwitchControl(plug, x, y, paramIdx, bitmap), mLabel(label ? label : "")
{
  mLabelRECT = labelRECTOf(mRECT);
  mText = PanelText::switchLabel();
}

bool ITdSwitchControl::Draw(IGraphics* graphics)
{
  ISwitchControl::Draw(graphics);
  drawText(graphics, &mText, mLabel, mLabelRECT);
  return true;
}

ITdLFOSyncControl::ITdLFOSyncControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                     ITdLFORateControl* rateControl)
    : ITdSwitchControl(plug, x, y, paramIdx, bitmap, "SYNC"), mRateControl(rateControl)
{
}

void ITdLFOSyncControl::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  ITdSwitchControl::OnMouseUp(x, y, mod);
  if (mRateControl) mRateControl->SetDirty(true);
}

ITdSwitchMidiLearn::ITdSwitchMidiLearn(Synth* synth, int x, int y, int commandIdx, const IBitmap& bitmap,
                                       IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(synth, x, y, commandIdx, bitmap, blendMethod), mSynth(synth),
      mLabelText(PanelText::switchLabel())
{
  mLabelRECT = labelRECTOf(mRECT);
}

void ITdSwitchMidiLearn::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.L) {
    ISwitchControl::OnMouseDown(x, y, mod);
    if (mLearnMode)
      mSynth->doMidiLearn(mValue > 0.0);
    else
      mSynth->doMidiUnlearn(mValue > 0.0);
  } else if (mod.R && mValue == 0.0) {
    mLearnMode = !mLearnMode;
    SetDirty(true);
  }
}

bool ITdSwitchMidiLearn::Draw(IGraphics* graphics)
{
  ISwitchControl::Draw(graphics);
  drawText(graphics, &mLabelText, mLearnMode ? "LEARN" : "Unlearn", mLabelRECT);
  return true;
}

ITdSwitchPopUpControl::ITdSwitchPopUpControl(IPluginBase* plug, int x, int y, int paramIdx,
                                             const IBitmap& bitmap)
    : ISwitchPopUpControl(plug, x, y, paramIdx, bitmap)
{
  mTextRECT = IRECT(mRECT.L, mRECT.T + 3, mRECT.R, mRECT.B);
  mText = PanelText::switchLabel();
  mDefaultValue = normalizedDefault(GetParam());
}

bool ITdSwitchPopUpControl::Draw(IGraphics* graphics)
{
  ISwitchPopUpControl::Draw(graphics);
  const IParam* param = GetParam();
  if (!param) return true;
  char display[kDisplayLen] = {};
  param->GetDisplayForHost(display);
  if (!display[0]) return true;
  graphics->FillIRect(COLOR_TRANSPARENT, mTextRECT, &mBlend);
  drawText(graphics, &mText, display, mTextRECT);
  return true;
}

ITdSwitchFramesControl::ITdSwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx,
                                               const IBitmap& bitmap, bool reverse)
    : ISwitchFramesControl(plug, x, y, paramIdx, bitmap), mReverse(reverse)
{
}

void ITdSwitchFramesControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.R)
    PromptUserInput();
  else
    ISwitchFramesControl::OnMouseDown(x, y, mod);
}

void ITdSwitchFramesControl::OnMouseDrag(int, int, int, int dY, const IMouseMod& mod)
{
  if (mRECT.H() == 0) return;
  const double gearing = mod.C || mod.S ? 3.0 : 0.3;
  mValue -= static_cast<double>(dY) / static_cast<double>(mRECT.T - mRECT.B) / gearing;
  SetDirty(true);
}

void ITdSwitchFramesControl::OnMouseWheel(int, int, const IMouseMod& mod, int delta)
{
  mValue += (mod.C || mod.S ? -0.01 : -0.1) * delta;
  SetDirty(true);
}

bool ITdSwitchFramesControl::Draw(IGraphics* graphics)
{
  int frame = IFrameForValue(mValue, mBitmap.N);
  if (mReverse) frame = mBitmap.N + 1 - frame;
  return graphics->DrawBitmap(mBitmap, mRECT, frame, &mBlend);
}

// --- voice count ---

ITdDigitsPopUpMenu::ITdDigitsPopUpMenu(IPluginBase* plug, IGraphics* graphics, const IRECT& rect,
                                       int paramIdx)
    : IControl(plug, rect, paramIdx)
{
  mDisablePrompt = false;
  mDigits = graphics->LoadIBitmap(109, "resources/img/digits.png", 10);
  const int w = (rect.R - rect.L) / 2;
  mTensRECT = IRECT(rect.L + 2, rect.T, rect.L + w, rect.B);
  mUnitsRECT = IRECT(rect.L + w, rect.T, rect.R, rect.B);
}

std::string ITdDigitsPopUpMenu::DigitsShown() const
{
  const IParam* param = GetParam();
  const int k = param ? std::clamp(static_cast<int>(param->Value()), 0, Zorva::kNumVoiceCounts - 1) : 0;
  const int n = Zorva::nVoices[k];
  return {static_cast<char>('0' + (n / 10) % 10), static_cast<char>('0' + n % 10)};
}

bool ITdDigitsPopUpMenu::Draw(IGraphics* graphics)
{
  graphics->FillIRect(COLOR_TRANSPARENT, mRECT, &mBlend);
  const std::string digits = DigitsShown();
  graphics->DrawBitmap(mDigits, mTensRECT, digits[0] - '0' + 1);
  graphics->DrawBitmap(mDigits, mUnitsRECT, digits[1] - '0' + 1);
  return true;
}

void ITdDigitsPopUpMenu::OnMouseDown(int, int, const IMouseMod&)
{
  PromptUserInput();
  SetDirty(true);
}

// --- the options menu ---

ITdOptionMenu::ITdOptionMenu(Synth* synth, const IRECT& rect, int commandIdx)
    : IControl(synth, rect, commandIdx), mSynth(synth)
{
}

bool ITdOptionMenu::Draw(IGraphics* graphics)
{
  return graphics->FillIRect(COLOR_TRANSPARENT, mRECT, &mBlend);
}

void ITdOptionMenu::OnMouseDown(int, int, const IMouseMod&)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  const bool haveClipboard = mSynth->clipboard.Size() > 0;
  const bool haveStartupBank = !mSynth->startupBankPath.empty();
  if (IPopupMenuItem* item = mMenu.GetItem(File::kPasteProgram)) item->SetEnabled(haveClipboard);
  if (IPopupMenuItem* item = mMenu.GetItem(File::kLoadStartupBank)) item->SetEnabled(haveStartupBank);
  if (IPopupMenuItem* item = mMenu.GetItem(File::kUnselectStartupBank)) item->SetEnabled(haveStartupBank);

  IPopupMenu* chosen = gui->CreateIPopupMenu(&mMenu, mRECT);
  mRedraw = true;
  SetDirty(true);
  if (!chosen || chosen->GetChosenItemIdx() < 0 || mParamIdx != PanelCommand::kFileMenu) return;
  const int command = chosen->GetChosenItemIdx() + (chosen == &mOnlineMenu ? kOnlineItem : 0);
  if (command > kLastCommand) return;

  Synth* synth = mSynth;
  switch (command) {
  case File::kReloadConfig:
    synth->runFileCommand(File::kReloadConfig);
    // The rebuild deletes this control: nothing of it may be touched afterwards.
    synth->createGraphics();
    return;
  case File::kVisitWebsite: gui->OpenURL(Synth::kMakerWebsite); return;
  default: synth->runFileCommand(static_cast<File::Command>(command)); return;
  }
}
