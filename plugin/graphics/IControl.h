#pragma once

#include "IGraphicsStructs.h"

#include <string>
#include <vector>

class IPluginBase;
class IGraphics;
class IParam;
class ITextControl;

// Base of every element of the front panel: a rectangle bound to at most one
// parameter (paramIdx < 0: none, or a command of the owning panel), holding that
// parameter's value normalised to 0 ... 1.
class IControl
{
public:
  struct AuxParam
  {
    double mValue = 0.0;
    int mParamIdx = -1;
  };

  IControl(IPluginBase* plug, const IRECT& rect, int paramIdx = -1,
           IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // A right click asks the user for a value (PromptUserInput).
  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int x, int y, const IMouseMod& mod);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod);
  // Returns the control to its default value once the plug-in has set one.
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  virtual void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta);
  // True when the key was handled.
  virtual bool OnKeyDown(int x, int y, int key);
  virtual void OnMouseOver(int x, int y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual bool Draw(IGraphics* graphics) = 0;

  // A value from the plug-in: only stored and marked for redraw. The first one also
  // becomes the default that a double click returns to.
  virtual void SetValueFromPlug(double value);
  // A value from the user: stored and pushed to the plug-in.
  virtual void SetValueFromUserInput(double value);
  virtual void TextFromTextEntry(const char* text);
  virtual void Hide(bool hide);
  // A grayed control is drawn at a quarter weight and takes no mouse input.
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) const;
  // Clamps the value and marks the control dirty; with pushParamToPlug the value goes
  // to the plug-in (and so to the host) and the linked display controls are updated.
  virtual void SetDirty(bool pushParamToPlug = true);
  virtual void SetClean();
  virtual bool IsDirty() const { return mDirty; }
  virtual void OnGUIIdle();
  virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

  IPluginBase* GetPlug() const { return mPlug; }
  IGraphics* GetGUI() const;
  int ParamIdx() const { return mParamIdx; }
  IParam* GetParam() const;
  double GetValue() const { return mValue; }
  void SetValue(double value) { mValue = value; }
  double GetDefaultValue() const { return mDefaultValue; }
  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetArea(const IRECT& rect) { mTargetRECT = rect; }
  const IText& GetText() const { return mText; }
  void SetText(const IText& text) { mText = text; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int len) { mTextEntryLength = len; }
  const IChannelBlend& GetBlend() const { return mBlend; }

  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool allow) { mMOWhenGrayed = allow; }
  bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
  bool IsPromptDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  void Clamp(double lo, double hi)
  {
    mClampLo = lo;
    mClampHi = hi;
  }

  void SetValDisplayControl(ITextControl* control) { mValDisplayControl = control; }
  void SetNameDisplayControl(ITextControl* control) { mNameDisplayControl = control; }
  const std::string& GetTooltip() const { return mTooltip; }
  void SetTooltip(const char* tooltip) { mTooltip = tooltip ? tooltip : ""; }

  // Asks the user for a new value of the parameter, unless prompting is disabled:
  // over the whole control when the parameter has display texts, else in a small
  // field centred on it.
  void PromptUserInput();
  void PromptUserInput(const IRECT& rect);

  void AddAuxParam(int paramIdx);
  // Position of the first auxiliary parameter bound to paramIdx, or -1.
  int AuxParamIdx(int paramIdx) const;
  AuxParam* GetAuxParam(int idx);
  int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
  void SetAllAuxParamsFromGUI();

protected:
  int mTextEntryLength = 7;
  IText mText;
  IPluginBase* mPlug;
  IRECT mRECT, mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  double mValue = 0.0, mDefaultValue = -1.0, mClampLo = 0.0, mClampHi = 1.0;
  bool mDirty = true, mHide = false, mGrayed = false, mRedraw = false, mDisablePrompt = true,
       mDblAsSingleClick = false, mMOWhenGrayed = false;
  IChannelBlend mBlend;
  ITextControl* mValDisplayControl = nullptr;
  ITextControl* mNameDisplayControl = nullptr;
  std::string mTooltip;
};
