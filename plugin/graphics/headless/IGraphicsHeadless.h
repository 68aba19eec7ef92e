#pragma once

#include "IGraphics.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// The editor without a screen, for tests and off-screen use. Every question the
// editor would put to the user (message box, file dialog, text field, popup menu) is
// recorded and answered from a script the test fills beforehand. An unscripted
// question gets the cautious answer: "No" or "Cancel" where offered (OK for a plain
// message), a cancelled file dialog, an abandoned text field, no menu choice.
class IGraphicsHeadless : public IGraphics
{
public:
  struct Question
  {
    enum EKind { kMessageBox, kFilePrompt, kTextEntry, kPopupMenu };
    EKind mKind;
    std::string mText;  // message, proposed file name, or initial text of the field
    std::string mTitle; // message box caption, or the file dialog's starting folder
    int mType = 0;      // message box type, or the file action
    std::string mExtensions;
    IRECT mRect;
    // For popup menus: the entries as the platform shows them (prefix numbers, "-" for
    // a separator, "[x]" checked, "(off)" disabled, "> " opening a submenu).
    std::vector<std::string> mItems;
  };

  using MenuAnswer = std::function<IPopupMenu*(IPopupMenu* menu, const IRECT& rect)>;

  IGraphicsHeadless(IPluginBase* plug, int width, int height, int fps = 0);
  ~IGraphicsHeadless() override;

  // --- the script ---
  void QueueMessageBoxAnswer(int answer) { mMessageBoxAnswers.push_back(answer); }
  // An empty path answers as a cancelled dialog.
  void QueueFileAnswer(const std::string& path) { mFileAnswers.push_back(path); }
  void QueueTextEntryAnswer(const std::string& text) { mTextEntryAnswers.push_back(text); }
  // The function picks the choice (sets the chosen index on the menu it returns).
  void QueueMenuAnswer(MenuAnswer answer) { mMenuAnswers.push_back(std::move(answer)); }
  // Chooses the entry whose text is path's last part; the earlier parts name the
  // submenus to open ("16 - 31/17: Bass"). Disabled entries, separators and unknown
  // texts answer as a dismissed menu.
  void QueueMenuChoice(const std::string& path);
  // Chooses item index of the top-level menu.
  void QueueMenuChoice(int index);
  void SetOpenURLResult(bool opens) { mOpenURLResult = opens; }
  void SetClipboardText(const std::string& text) { mClipboard = text; }
  // Overrides PluginPath; empty returns to the default.
  void SetPluginPath(const std::string& path) { mPluginPath = path; }

  // --- what happened ---
  const std::vector<Question>& Questions() const { return mQuestions; }
  const Question* LastQuestion() const { return mQuestions.empty() ? nullptr : &mQuestions.back(); }
  void ClearQuestions() { mQuestions.clear(); }
  const std::vector<std::string>& OpenedURLs() const { return mOpenedURLs; }
  int NScreenUpdates() const { return mScreenUpdates; }
  // Answers still queued (a test can check that everything it scripted was asked).
  int NPendingAnswers() const;

  // One timer tick of the window layer: asks for the dirty region and draws it.
  bool Tick();
  // Paints the whole window, as when it is first shown.
  bool DrawAll() { return Draw(IRECT(0, 0, Width(), Height())); }

  // --- the surface ---
  // The colour of a pixel of the surface as the screen would show it.
  IColor GetPixel(int x, int y) const { return GetPoint(x, y); }
  // The region most recently copied to the "screen".
  const IRECT& LastScreenRect() const { return mLastScreenRect; }
  // Writes the surface as a PNG file; false with a reason in error on failure.
  bool SaveScreenshot(const std::string& path, std::string* error = nullptr) const;

  // --- IGraphics ---
  bool DrawScreen(const IRECT& rect) override;
  void ForceEndUserEdit() override {}
  const char* GetGUIAPI() override { return "Headless"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* str,
                       IParam* param) override;
  void PluginPath(std::string* path) override;
  void PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                     const char* extensions) override;
  bool OpenURL(const char* url, const char* errMsgOnFailure = nullptr) override;
  void* OpenWindow(void* parentView) override;
  using IGraphics::OpenWindow;
  void CloseWindow() override;
  void* GetWindow() override { return mWindowOpen ? this : nullptr; }
  bool GetTextFromClipboard(std::string* text) override;

private:
  std::deque<int> mMessageBoxAnswers;
  std::deque<std::string> mFileAnswers;
  std::deque<std::string> mTextEntryAnswers;
  std::deque<MenuAnswer> mMenuAnswers;
  std::vector<Question> mQuestions;
  std::vector<std::string> mOpenedURLs;
  std::string mClipboard;
  std::string mPluginPath;
  bool mOpenURLResult = true;
  bool mWindowOpen = false;
  int mScreenUpdates = 0;
  IRECT mLastScreenRect;
};
