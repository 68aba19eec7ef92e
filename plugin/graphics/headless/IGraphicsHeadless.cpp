#include "IGraphicsHeadless.h"

IGraphicsHeadless::IGraphicsHeadless(IPluginBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
  PrepDraw();
}

IGraphicsHeadless::~IGraphicsHeadless() = default;

int IGraphicsHeadless::NPendingAnswers() const
{
  return static_cast<int>(mMessageBoxAnswers.size() + mFileAnswers.size() + mTextEntryAnswers.size() +
                          mMenuAnswers.size());
}

bool IGraphicsHeadless::Tick()
{
  IRECT dirty;
  if (!IsDirty(&dirty)) return false;
  Draw(dirty);
  return true;
}

bool IGraphicsHeadless::DrawScreen(const IRECT&)
{
  ++mScreenUpdates;
  return true;
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type)
{
  mQuestions.push_back({Question::kMessageBox, text ? text : "", caption ? caption : "", type, "", IRECT()});
  if (!mMessageBoxAnswers.empty()) {
    const int answer = mMessageBoxAnswers.front();
    mMessageBoxAnswers.pop_front();
    return answer;
  }
  switch (type) {
  case kMsgBoxTypeYesNo: return kMsgBoxNo;
  case kMsgBoxTypeOKCancel:
  case kMsgBoxTypeYesNoCancel: return kMsgBoxCancel;
  default: return kMsgBoxOK;
  }
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect)
{
  ReleaseMouseCapture();
  if (!WindowIsOpen()) return nullptr;
  mQuestions.push_back({Question::kPopupMenu, "", "", 0, "", rect});
  if (mMenuAnswers.empty()) return nullptr;
  MenuAnswer answer = std::move(mMenuAnswers.front());
  mMenuAnswers.pop_front();
  return answer ? answer(menu, rect) : nullptr;
}

void IGraphicsHeadless::CreateTextEntry(IControl* control, const IText&, const IRECT& rect, const char* str,
                                        IParam* param)
{
  if (!control || !WindowIsOpen()) return;
  mQuestions.push_back({Question::kTextEntry, str ? str : "", "", 0, "", rect});
  if (mTextEntryAnswers.empty()) return;
  const std::string answer = mTextEntryAnswers.front();
  mTextEntryAnswers.pop_front();
  if (param) {
    SetFromStringAfterPrompt(control, param, answer.c_str());
  } else {
    control->TextFromTextEntry(answer.c_str());
  }
}

void IGraphicsHeadless::PluginPath(std::string* path)
{
  if (mPluginPath.empty()) {
    IGraphics::PluginPath(path);
  } else {
    *path = mPluginPath;
    if (path->back() != '/') *path += '/';
  }
}

void IGraphicsHeadless::PromptForFile(std::string* filename, EFileAction action, std::string* dir,
                                      const char* extensions)
{
  if (!filename) return;
  if (!WindowIsOpen()) {
    filename->clear();
    return;
  }
  std::string start = dir ? *dir : std::string();
  if (start.empty()) {
    DesktopPath(&start);
    if (dir) *dir = start;
  }
  mQuestions.push_back({Question::kFilePrompt, *filename, start, static_cast<int>(action),
                        extensions ? extensions : "", IRECT()});
  filename->clear();
  if (mFileAnswers.empty()) return;
  const std::string chosen = mFileAnswers.front();
  mFileAnswers.pop_front();
  if (chosen.empty()) return;
  *filename = chosen;
  if (dir) {
    const size_t slash = chosen.rfind('/');
    *dir = slash == std::string::npos ? std::string("./") : chosen.substr(0, slash + 1);
  }
}

bool IGraphicsHeadless::OpenURL(const char* url, const char*)
{
  mOpenedURLs.push_back(url ? url : "");
  return mOpenURLResult;
}

void* IGraphicsHeadless::OpenWindow(void*)
{
  mWindowOpen = true;
  return GetWindow();
}

void IGraphicsHeadless::CloseWindow()
{
  mWindowOpen = false;
}

bool IGraphicsHeadless::GetTextFromClipboard(std::string* text)
{
  if (text) *text = mClipboard;
  return !mClipboard.empty();
}
