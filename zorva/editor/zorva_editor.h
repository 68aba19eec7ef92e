#pragma once

#include "plugin/graphics/IControls.h"
#include "plugin/graphics/IPopupMenu.h"

#include <string>

class Synth;

// The instrument's own controls. Several carry a negative number where a
// parameter index would stand: a command of the panel, which the framework
// never sends to the plug-in.
namespace PanelCommand {
constexpr int kPreviousProgram = -103;
constexpr int kNextProgram = -104;
constexpr int kFileMenu = -105;
constexpr int kMidiLearn = -106;
} // namespace PanelCommand

namespace PanelText {
IText valueText();
IText switchLabel();
IText programDisplay();
} // namespace PanelText

// The parameter's default as a control value, so that a double click restores
// it before the plug-in has ever sent a value.
double normalizedDefault(const IParam* param);

// A small button under a knob that steps the knob's parameter by one step.
// Its command is the negated index of that parameter.
class ITdPlusMinusKick : public IContactControl
{
public:
  ITdPlusMinusKick(IPluginBase* plug, int x, int y, int commandIdx, const IBitmap& bitmap, bool plus);
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;

private:
  bool mPlus;
};

// A knob that prints its value and label below itself and carries a plus and
// a minus button, which it attaches to the editor before itself.
class ITdKnobMultiControlText : public IKnobControl
{
public:
  ITdKnobMultiControlText(IPluginBase* plug, IGraphics* graphics, int x, int y, int paramIdx,
                          const IBitmap& knob);
  bool Draw(IGraphics* graphics) override;

  const IRECT& GetKnobRECT() const { return mKnobRECT; }
  const IRECT& GetTextRECT() const { return mTextRECT; }
  // What the knob prints under itself.
  virtual std::string ValueText() const;

protected:
  IRECT mTextRECT, mKnobRECT;
  IBitmap mBitmap, mPlusBitmap, mMinusBitmap;
};

// An LFO rate knob: while the LFO follows the host's tempo it shows a note
// division instead of a frequency.
class ITdLFORateControl : public ITdKnobMultiControlText
{
public:
  static constexpr int kNumSyncRates = 20;
  static const char* const labelSyncRates[kNumSyncRates];

  ITdLFORateControl(IPluginBase* plug, IGraphics* graphics, int x, int y, int paramIdx, const IBitmap& knob,
                    int syncParamIdx);
  std::string ValueText() const override;

private:
  int mSyncParamIdx;
};

// Program step buttons.
class ITdUtilityKick : public IContactControl
{
public:
  ITdUtilityKick(IPluginBase* plug, int x, int y, int commandIdx, const IBitmap& bitmap, Synth* synth);
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;

private:
  Synth* mSynth;
};

// An on/off switch with a short label printed on it.
class ITdSwitchControl : public ISwitchControl
{
public:
  // label is not copied; it must outlive the control.
  ITdSwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap, const char* label);
  bool Draw(IGraphics* graphics) override;

protected:
  const char* mLabel;
  IRECT mLabelRECT;
};

class ITdLFOSyncControl : public ITdSwitchControl
{
public:
  ITdLFOSyncControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                    ITdLFORateControl* rateControl);
  // The rate knob switches between frequency and note division.
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;

private:
  ITdLFORateControl* mRateControl;
};

// Starts or cancels MIDI learn; a right click while it is off switches between
// learning and unlearning a controller.
class ITdSwitchMidiLearn : public ISwitchControl
{
public:
  ITdSwitchMidiLearn(Synth* synth, int x, int y, int commandIdx, const IBitmap& bitmap,
                     IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
  bool IsLearnMode() const { return mLearnMode; }

private:
  Synth* mSynth;
  bool mLearnMode = true;
  IText mLabelText;
  IRECT mLabelRECT;
};

// A button showing the chosen option's text; a click opens the option menu.
class ITdSwitchPopUpControl : public ISwitchPopUpControl
{
public:
  ITdSwitchPopUpControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);
  bool Draw(IGraphics* graphics) override;

private:
  IRECT mTextRECT;
};

// A selector with one picture per option: click an option, drag or turn the
// wheel through them, right-click for the menu.
class ITdSwitchFramesControl : public ISwitchFramesControl
{
public:
  ITdSwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                         bool reverse = false);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta) override;
  bool Draw(IGraphics* graphics) override;

private:
  bool mReverse;
};

// The voice count as two bitmap digits; a click opens the menu of counts.
class ITdDigitsPopUpMenu : public IControl
{
public:
  ITdDigitsPopUpMenu(IPluginBase* plug, IGraphics* graphics, const IRECT& rect, int paramIdx);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
  // The two digits shown, "09" for nine voices.
  std::string DigitsShown() const;

private:
  IBitmap mDigits;
  IRECT mTensRECT, mUnitsRECT;
};

// Program number and name: a click on the name renames the program, a click
// on the number opens the program menu.
class ITdPresetMenu : public IControl
{
public:
  static constexpr int kProgramsPerSubmenu = 16;
  static constexpr int kNumSubmenus = 4;
  static constexpr size_t kMaxShownName = 32;
  static constexpr size_t kMaxName = 255;

  ITdPresetMenu(Synth* synth, const IRECT& numberRECT, const IRECT& nameRECT);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
  void TextFromTextEntry(const char* text) override;

  const std::string& NumberShown() const { return mNumber; }
  const std::string& NameShown() const { return mName; }

private:
  void showProgramMenu();

  Synth* mSynth;
  std::string mNumber, mName;
  IRECT mNumberRECT, mNameRECT;
};

// The options menu with the file commands.
class ITdOptionMenu : public IControl
{
public:
  // Position of the "Go Online..." entry: choices in its submenu count from here.
  static constexpr int kOnlineItem = 15;
  static constexpr int kLastCommand = 16;

  ITdOptionMenu(Synth* synth, const IRECT& rect, int commandIdx = PanelCommand::kFileMenu);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& GetMenu() { return mMenu; }
  IPopupMenu& GetOnlineMenu() { return mOnlineMenu; }

private:
  // The submenu first: the menu links it and must not outlive it.
  IPopupMenu mOnlineMenu;
  IPopupMenu mMenu;
  Synth* mSynth;
};
