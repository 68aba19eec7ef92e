#pragma once

#include "IControl.h"
#include "IGraphics.h"
#include "IGraphicsStructs.h"

#include <string>
#include <vector>

// The standard controls of the front panel.

// The 1-based frame of an nFrames strip that a normalised value shows.
int IFrameForValue(double value, int nFrames);

// A rectangle filled with one colour.
class IPanelControl : public IControl
{
public:
  IPanelControl(IPluginBase* plug, const IRECT& rect, const IColor& color);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
};

// A bitmap, one frame per value; without a parameter it always shows frame 1.
class IBitmapControl : public IControl
{
public:
  IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  IBitmapControl(IPluginBase* plug, int x, int y, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  bool Draw(IGraphics* graphics) override;

  const IBitmap& GetBitmap() const { return mBitmap; }
  // The 1-based frame the value selects.
  int FrameForValue() const;

protected:
  IBitmap mBitmap;
};

// Each click steps to the next frame and wraps after the last.
class ISwitchControl : public IBitmapControl
{
public:
  ISwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // Two quick clicks are two steps, never a reset.
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
};

// A click opens the menu of the parameter's texts.
class ISwitchPopUpControl : public ISwitchControl
{
public:
  ISwitchPopUpControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                      IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
};

// One frame per option; a click picks the option drawn under the mouse.
class ISwitchFramesControl : public ISwitchControl
{
public:
  ISwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                       bool framesAreHorizontal = false,
                       IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;

  const std::vector<IRECT>& GetFrameRects() const { return mRECTs; }

protected:
  std::vector<IRECT> mRECTs;
};

// Momentary: steps on press, back to 0 on release.
class IContactControl : public ISwitchControl
{
public:
  IContactControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                  IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// An on/off area with no picture of its own.
class IInvisibleSwitchControl : public IControl
{
public:
  IInvisibleSwitchControl(IPluginBase* plug, const IRECT& rect, int paramIdx);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics*) override { return true; }
};

// n buttons in a row or column, each drawn with frame 1 of the bitmap, the active one
// with frame 2. reverse puts the first option at the bottom or right.
class IRadioButtonsControl : public IControl
{
public:
  IRadioButtonsControl(IPluginBase* plug, const IRECT& rect, int paramIdx, int nButtons,
                       const IBitmap& bitmap, EDirection direction = kVertical, bool reverse = false);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  const std::vector<IRECT>& GetButtonRects() const { return mRECTs; }

protected:
  std::vector<IRECT> mRECTs;
  IBitmap mBitmap;
};

// A handle that slides along length pixels and follows the mouse.
class IFaderControl : public IControl
{
public:
  IFaderControl(IPluginBase* plug, int x, int y, int len, int paramIdx, const IBitmap& bitmap,
                EDirection direction = kVertical, bool onlyHandle = false);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta) override;
  bool Draw(IGraphics* graphics) override;
  bool IsHit(int x, int y) const override;
  virtual void SnapToMouse(int x, int y);

  int GetLength() const { return mLen; }
  int GetHandleHeadroom() const { return mHandleHeadroom; }
  // Where the handle is drawn for the current value.
  IRECT GetHandleRECT() const { return GetHandleRECT(mValue); }
  IRECT GetHandleRECT(double value) const;

protected:
  int mLen, mHandleHeadroom;
  IBitmap mBitmap;
  EDirection mDirection;
  bool mOnlyHandle;
};

// Dragging by one control height (or width) changes the value by 1/gearing; control or
// shift make it ten times finer.
class IKnobControl : public IControl
{
public:
  static constexpr double kDefaultGearing = 4.0;
  static constexpr double kFineFactor = 10.0;

  IKnobControl(IPluginBase* plug, const IRECT& rect, int paramIdx, EDirection direction = kVertical,
               double gearing = kDefaultGearing);
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta) override;

  void SetGearing(double gearing) { mGearing = gearing; }
  double GetGearing() const { return mGearing; }
  EDirection GetDirection() const { return mDirection; }

protected:
  EDirection mDirection;
  double mGearing;
};

// A line from the centre outwards, as a pointer.
class IKnobLineControl : public IKnobControl
{
public:
  // Angles in radians, 0 up, clockwise; outerRadius 0 means half the width.
  IKnobLineControl(IPluginBase* plug, const IRECT& rect, int paramIdx, const IColor& color,
                   double minAngle = -0.75 * 3.14159265358979323846,
                   double maxAngle = 0.75 * 3.14159265358979323846, double innerRadius = 0.0,
                   double outerRadius = 0.0, EDirection direction = kVertical,
                   double gearing = kDefaultGearing);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
  float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// A bitmap turned by the value.
class IKnobRotaterControl : public IKnobControl
{
public:
  // Angles in radians, clockwise.
  IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                      double minAngle = -0.75 * 3.14159265358979323846,
                      double maxAngle = 0.75 * 3.14159265358979323846, int yOffsetZeroDeg = 0,
                      EDirection direction = kVertical, double gearing = kDefaultGearing);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBitmap;
  double mMinAngle, mMaxAngle;
  int mYOffset;
};

// One bitmap frame per position.
class IKnobMultiControl : public IKnobControl
{
public:
  IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                    EDirection direction = kVertical, double gearing = kDefaultGearing);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBitmap;
};

// A base picture seen through a turning mask, with a turning top layer.
class IKnobRotatingMaskControl : public IKnobControl
{
public:
  // Angles in degrees, clockwise.
  IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& base,
                           const IBitmap& mask, const IBitmap& top, double minAngle = -135.0,
                           double maxAngle = 135.0, EDirection direction = kVertical,
                           double gearing = kDefaultGearing);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBase, mMask, mTop;
  double mMinAngle, mMaxAngle;
};

// A switch that, while off, shows nothing and listens on its target area instead.
class IBitmapOverlayControl : public ISwitchControl
{
public:
  IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                        const IRECT& targetArea);
  bool Draw(IGraphics* graphics) override;

protected:
  IRECT mTargetArea; // where the mouse acts while the overlay is off
};

// A line of text in the control's text style.
class ITextControl : public IControl
{
public:
  ITextControl(IPluginBase* plug, const IRECT& rect, const IText& text, const char* str = "");
  bool Draw(IGraphics* graphics) override;

  // Redrawn only when the text changes.
  void SetTextFromPlug(const char* str);
  void ClearTextFromPlug() { SetTextFromPlug(""); }
  const std::string& GetString() const { return mStr; }

protected:
  std::string mStr;
};

// The parameter's value as text, optionally with its unit; a click asks for a new one.
class ICaptionControl : public ITextControl
{
public:
  ICaptionControl(IPluginBase* plug, const IRECT& rect, int paramIdx, const IText& text,
                  bool showParamLabel = true);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

protected:
  bool mShowParamLabel;
};

// A click opens a web page (or, failing that, the backup address).
class IURLControl : public IControl
{
public:
  static constexpr size_t kMaxURLLen = 256;

  IURLControl(IPluginBase* plug, const IRECT& rect, const char* url, const char* backupURL = nullptr,
              const char* errMsgOnFailure = nullptr);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics*) override { return true; }

protected:
  std::string mURL, mBackupURL, mErrMsg; // each at most kMaxURLLen - 1 characters
};

// A click asks the platform for a file; the control keeps the chosen path.
class IFileSelectorControl : public IControl
{
public:
  enum EFileSelectorState { kFSNone, kFSSelecting, kFSDone };

  IFileSelectorControl(IPluginBase* plug, const IRECT& rect, int paramIdx, IGraphics::EFileAction action,
                       const char* dir = "", const char* extensions = "");
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // A frame around the control, filled while the dialog is open.
  bool Draw(IGraphics* graphics) override;

  const std::string& GetLastSelectedFile() const { return mFile; }
  void SetLastSelectedFileFromPlug(const char* file);
  EFileSelectorState GetState() const { return mState; }

protected:
  IGraphics::EFileAction mFileAction;
  std::string mDir, mFile, mExtensions;
  EFileSelectorState mState = kFSNone;
};

// Text drawn with a bitmap font: one frame per character from space (frame 1) on.
class IBitmapTextControl : public IControl
{
public:
  IBitmapTextControl(IPluginBase* plug, const IRECT& rect, const IBitmap& bitmap, const char* str = "",
                     const IText* text = nullptr, int charWidth = 6, int charHeight = 12, int charOffset = 0,
                     bool multiLine = false, bool vCenter = true);
  bool Draw(IGraphics* graphics) override;

  void SetTextFromPlug(const char* str);
  void ClearTextFromPlug() { SetTextFromPlug(""); }
  const std::string& GetString() const { return mStr; }

protected:
  std::string mStr;
  int mCharWidth, mCharHeight, mCharOffset;
  IBitmap mTextBitmap;
  bool mMultiLine, mVCentre;
};
