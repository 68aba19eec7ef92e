#pragma once

#include "Containers.h"
#include "IControl.h"
#include "IGraphicsStructs.h"

#include <memory>
#include <string>

class IPluginBase;
class IParam;
class IPopupMenu;
class RstBitmap;
class RstFont;

// The host-independent editor: it owns the controls of the front panel and moves
// parameter values between them and the plug-in. A platform layer derives from it
// and supplies the window, timer, dialogs, menus and text fields.
//
// Threads: everything runs on the user-interface thread, except SetParameterFromPlug,
// which may run on whichever thread changed the parameter; it only stores values and
// raises dirty flags for the next timer tick.
class IGraphics
{
public:
  enum EFileAction { kFileOpen = 0, kFileSave = 1 };

  // Answers of ShowMessageBox: the first (default) button, the third, the second.
  enum EMsgBoxResult { kMsgBoxOK = 1, kMsgBoxYes = 1, kMsgBoxCancel = 2, kMsgBoxNo = 7 };
  // Buttons offered by ShowMessageBox.
  enum EMsgBoxType {
    kMsgBoxTypeOK = 0,
    kMsgBoxTypeOKCancel = 1,
    kMsgBoxTypeYesNoCancel = 3,
    kMsgBoxTypeYesNo = 4
  };

  static constexpr int kDefaultFPS = 25;
  // Clean timer ticks after which the plug-in's OnIdle runs.
  static constexpr int kIdleTicks = 20;

  // fps <= 0 gives kDefaultFPS.
  IGraphics(IPluginBase* plug, int width, int height, int fps = 0);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // --- platform and overridable operations ---

  // Copies the region of the drawing surface to the window.
  virtual bool DrawScreen(const IRECT& rect) = 0;
  // Size of str drawn with text: rect keeps its anchor by the text's alignment and
  // takes the text's width and height. False when no font can be made.
  virtual bool MeasureIText(IText* text, const char* str, IRECT* rect);
  // Ends an open text field without applying it.
  virtual void ForceEndUserEdit() = 0;
  // Stores the new size, deletes every control (the caller rebuilds the panel),
  // prepares new surfaces and asks the plug-in to resize its editor.
  virtual void Resize(int width, int height);
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  // Name of the window layer; null for none.
  virtual const char* GetGUIAPI() { return nullptr; }
  // type: EMsgBoxType; answers an EMsgBoxResult (kMsgBoxNo = 7 for "No").
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // Shows the menu at rect and returns the (sub)menu in which a choice was made, with
  // its chosen index set; null when nothing was chosen.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect) = 0;
  // Opens a text field over rect; when it ends the text goes to SetFromStringAfterPrompt
  // (with a parameter) or to the control's TextFromTextEntry.
  virtual void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* str,
                               IParam* param) = 0;

  // Folders end in "/". The defaults serve every Linux window layer.
  virtual void HostPath(std::string* path);    // the running executable
  virtual void PluginPath(std::string* path);  // where the plug-in's resources live
  virtual void DesktopPath(std::string* path); // the user's desktop folder
  virtual void AppSupportPath(std::string* path, bool isSystem = false);
  virtual void SandboxSafeAppSupportPath(std::string* path); // the user's music folder

  // filename: the proposed name on entry; the chosen full path on return, empty if the
  // user cancelled. dir: the starting folder; on success the chosen file's folder.
  // extensions: allowed extensions separated by single blanks ("fxp").
  virtual void PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                             const char* extensions) = 0;
  virtual bool PromptForColor(IColor* color, const char* prompt = "");
  // A text containing "http" opens in the browser, anything else as a file.
  virtual bool OpenURL(const char* url, const char* errMsgOnFailure = nullptr) = 0;

  // Opens the editor inside the parent view; returns the window handle.
  virtual void* OpenWindow(void* parentView) = 0;
  virtual void* OpenWindow(void* parentWindow, void* parentControl, short x = 0, short y = 0);
  virtual void AttachSubWindow(void* parentWindow);
  virtual void RemoveSubWindow();
  virtual void CloseWindow() = 0;
  // Null while the window is closed.
  virtual void* GetWindow() = 0;
  virtual bool GetTextFromClipboard(std::string* text) = 0;
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  virtual void UpdateTooltips() {}
  // Decodes the named image; null when it is missing or not a readable PNG. The default
  // reads "resources/img/NAME.png" as <PluginPath>img/NAME.png.
  virtual RstBitmap* OSLoadBitmap(int ID, const char* name);

  // Prepares the drawing surfaces of width x height.
  virtual void PrepDraw();
  // Tells the controls bound to paramIdx (or holding it as an auxiliary parameter)
  // a new value, normalised or in the parameter's units.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);

  // --- controls ---

  // Appends and returns the control's index; the editor owns it from now on.
  int AttachControl(IControl* control);
  // Null outside 0 ... NControls() - 1.
  IControl* GetControl(int idx) const { return mControls.Get(idx); }
  int NControls() const { return mControls.GetSize(); }
  // Receives the keys not taken by a control under the mouse; owned by the editor.
  void AttachKeyCatcher(IControl* control);
  // The panel image as control 0: drawn first, catches every click nothing else takes.
  void AttachBackground(int ID, const char* name);
  // A plain colour as control 0.
  void AttachPanelBackground(const IColor& color);
  void HideControl(int paramIdx, bool hide);
  void GrayOutControl(int paramIdx, bool gray);
  // lo and hi are normalised, or converted from the parameter's units.
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);
  void SetAllControlsDirty();
  void SetStrictDrawing(bool strict);
  void AssignParamNameToolTips();

  void SetControlFromPlug(int controlIdx, double normalizedValue);
  // Keeps every control bound to paramIdx in step with one the user moved.
  void SetParameterFromGUI(int paramIdx, double normalizedValue);

  // Asks the user for a new value of param: a menu of its texts for list parameters,
  // otherwise a text field over rect.
  void PromptUserInput(IControl* control, IParam* param, const IRECT* rect);
  // The end of a text field opened for param.
  void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

  // --- images and fonts, shared by every editor in the process ---

  // The image with this resource ID, decoded once per process: the ID is the key, the
  // name only says where to load it from. A missing image gives an IBitmap without
  // data (0 x 0), which draws nothing.
  IBitmap LoadIBitmap(int ID, const char* name, int nFrames = 1, bool framesAreHorizontal = false);
  // The first image this editor asked for that could not be loaded (missing or
  // corrupt), as a path; empty when every image loaded.
  const std::string& MissingBitmap() const { return mMissingBitmap; }
  // Hands a bitmap made at run time to the cache, which owns it from then on.
  void RetainBitmap(RstBitmap* bitmap);
  // Removes the bitmap from the cache and deletes it.
  void ReleaseBitmap(IBitmap* bitmap);
  // New retained images: the whole bitmap scaled to w x h, or the part inside rect.
  IBitmap ScaleBitmap(const IBitmap& bitmap, int w, int h);
  IBitmap CropBitmap(const IBitmap& bitmap, const IRECT& rect);
  // The cached font for text's size, orientation, style and face, stored in the IText
  // as well; null when no font can be made.
  RstFont* CacheFont(IText* text);

  // --- drawing into the surface (blend null: over, using the source's alpha) ---

  // dest is clipped to the current draw rectangle; the source origin follows.
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IChannelBlend* blend = nullptr);
  // frame is 1-based.
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame = 1,
                  const IChannelBlend* blend = nullptr);
  // The whole bitmap centred on (destCtrX, destCtrY), turned clockwise by angle
  // (radians) about its centre moved down by yOffsetZeroDeg.
  bool DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle,
                         int yOffsetZeroDeg = 0, const IChannelBlend* blend = nullptr);
  // base shown through mask and covered by top, mask and top turned by angle (degrees),
  // drawn with its top-left at (x, y).
  bool DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                       double angle, const IChannelBlend* blend = nullptr);
  bool DrawPoint(const IColor& color, float x, float y, const IChannelBlend* blend = nullptr,
                 bool antiAlias = false);
  // Writes the pixel straight into the surface's memory, no blending.
  bool ForcePixel(const IColor& color, int x, int y);
  bool DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                const IChannelBlend* blend = nullptr, bool antiAlias = false);
  // Angles in radians, 0 up, clockwise.
  bool DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                  bool antiAlias = false);
  bool RoundRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend, int cornerRadius,
                 bool antiAlias = false);
  bool FillRoundRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend, int cornerRadius,
                     bool antiAlias = false);
  bool FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend = nullptr);
  bool FillCircle(const IColor& color, int cx, int cy, float r, const IChannelBlend* blend = nullptr,
                  bool antiAlias = false);
  bool FillTriangle(const IColor& color, int x1, int y1, int x2, int y2, int x3, int y3,
                    const IChannelBlend* blend = nullptr);
  bool FillIConvexPolygon(const IColor& color, const int* x, const int* y, int nPoints,
                          const IChannelBlend* blend = nullptr);
  // Transparent outside the surface.
  IColor GetPoint(int x, int y) const;
  bool DrawVerticalLine(const IColor& color, int xi, int yLo, int yHi);
  bool DrawHorizontalLine(const IColor& color, int yi, int xLo, int xHi);
  // x and y are fractions of the rectangle (0 ... 1): left to right, bottom to top.
  bool DrawVerticalLine(const IColor& color, const IRECT& rect, float x);
  bool DrawHorizontalLine(const IColor& color, const IRECT& rect, float y);
  // Outline including R and B.
  bool DrawRect(const IColor& color, const IRECT& rect);
  // angle in radians, 0 up, clockwise.
  bool DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                      const IChannelBlend* blend = nullptr, bool antiAlias = false);
  // One line of text in rect, aligned by text; with measure, rect only takes the text's
  // size. An empty string succeeds without drawing; false only when no font can be made.
  bool DrawIText(IText* text, const char* str, IRECT* rect, bool measure = false);

  // The drawing surface (width x height); null only when memory ran out.
  RstBitmap* GetBits() const { return mDrawBitmap.get(); }

  // --- timer and input from the window layer ---

  // Paints the region: every control it touches (strict drawing) or only the dirty
  // ones and what they overlap, then copies the surface to the window.
  bool Draw(const IRECT& rect);

  // Called at the frame rate: the union of the dirty controls' rectangles goes into
  // rect. After kIdleTicks + 1 clean ticks in a row the plug-in's OnIdle runs.
  bool IsDirty(IRECT* rect);
  void OnGUIIdle();

  void OnMouseDown(int x, int y, const IMouseMod& mod);
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  // True when the control treats the double click as a single click.
  bool OnMouseDblClick(int x, int y, const IMouseMod& mod);
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta);
  bool OnMouseOver(int x, int y, const IMouseMod& mod);
  void OnMouseOut();
  // True when a control or the key catcher handled the key.
  bool OnKeyDown(int x, int y, int key);
  void ReleaseMouseCapture();
  void HandleMouseOver(bool canHandle) { mHandleMouseOver = canHandle; }

  // --- accessors ---

  IPluginBase* GetPlug() const { return mPlug; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  bool GetStrictDrawing() const { return mStrict; }
  bool TooltipsEnabled() const { return mEnableTooltips; }
  void EnableTooltips(bool enable) { mEnableTooltips = enable; }
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  int GetMouseX() const { return mMouseX; }
  int GetMouseY() const { return mMouseY; }
  const IRECT& GetDrawRect() const { return mDrawRECT; }

protected:
  // Index of the frontmost control at (x, y) that takes input, or -1; a control holding
  // the mouse capture wins.
  int GetMouseControlIdx(int x, int y, bool mouseOver = false);

  // What every window layer shares around its dialogs.
  // The answer of a message box the user could not see or closed unanswered: "No" or
  // "Cancel" where offered, else OK.
  static int CautiousAnswer(int type);
  // The folder a file dialog starts in: dir, or the desktop (then stored in dir too).
  std::string FileDialogFolder(std::string* dir);
  // The user chose path (empty: cancelled): filename becomes it and dir its folder + "/".
  static void TakeChosenFile(const std::string& path, std::string* filename, std::string* dir);

  IPluginBase* mPlug;
  std::string mMissingBitmap;
  PtrList<IControl> mControls{true};
  int mWidth, mHeight, mFPS;
  int mIdleTicks = 0;
  int mMouseCapture = -1, mMouseOver = -1, mMouseX = 0, mMouseY = 0;
  bool mHandleMouseOver = false, mStrict = true, mEnableTooltips = false;
  IControl* mKeyCatcher = nullptr;
  IRECT mDrawRECT;
  std::unique_ptr<RstBitmap> mDrawBitmap; // the surface the controls draw into
  std::unique_ptr<RstBitmap> mTmpBitmap;  // scratch for DrawRotatedMask
};
