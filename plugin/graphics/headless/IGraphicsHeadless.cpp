#include "IGraphicsHeadless.h"

#include "IPopupMenu.h"
#include "raster/rst_png.h"

#include <sstream>

namespace {

std::vector<std::string> DescribeMenu(const IPopupMenu& menu)
{
  std::vector<std::string> lines;
  for (int i = 0; i < menu.GetNItems(); ++i) {
    const IPopupMenuItem* item = menu.GetItem(i);
    if (item->GetIsSeparator()) {
      lines.push_back("-");
      continue;
    }
    std::string line = item->GetSubmenu() ? std::string("> ") + item->GetText() : menu.GetItemLabel(i);
    if (item->GetChecked()) line += " [x]";
    if (!item->GetEnabled()) line += " (off)";
    lines.push_back(line);
  }
  return lines;
}

// The model menu and index that the entry at the end of path names, or none.
IPopupMenu* FindChoice(IPopupMenu* menu, const std::string& path, int* index)
{
  std::vector<std::string> parts;
  std::stringstream stream(path);
  for (std::string part; std::getline(stream, part, '/');) parts.push_back(part);
  for (size_t p = 0; menu && p < parts.size(); ++p) {
    IPopupMenu* next = nullptr;
    for (int i = 0; i < menu->GetNItems(); ++i) {
      const IPopupMenuItem* item = menu->GetItem(i);
      if (item->GetIsSeparator() || !item->GetEnabled()) continue;
      const bool last = p + 1 == parts.size();
      if (last && !item->GetSubmenu() && (menu->GetItemLabel(i) == parts[p] || item->GetText() == parts[p])) {
        *index = i;
        return menu;
      }
      if (!last && item->GetSubmenu() && item->GetText() == parts[p]) {
        next = item->GetSubmenu();
        break;
      }
    }
    menu = next;
  }
  return nullptr;
}

} // namespace

IGraphicsHeadless::IGraphicsHeadless(IPluginBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
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

bool IGraphicsHeadless::DrawScreen(const IRECT& rect)
{
  // The surface itself is the screen: nothing to copy.
  ++mScreenUpdates;
  mLastScreenRect = rect;
  return true;
}

bool IGraphicsHeadless::SaveScreenshot(const std::string& path, std::string* error) const
{
  const RstBitmap* surface = GetBits();
  if (!surface) {
    if (error) *error = "no drawing surface";
    return false;
  }
  return RstSavePng(*surface, path, error);
}

void IGraphicsHeadless::QueueMenuChoice(const std::string& path)
{
  QueueMenuAnswer([path](IPopupMenu* menu, const IRECT&) -> IPopupMenu* {
    int index = -1;
    IPopupMenu* chosen = FindChoice(menu, path, &index);
    if (chosen) chosen->SetChosenItemIdx(index);
    return chosen;
  });
}

void IGraphicsHeadless::QueueMenuChoice(int index)
{
  QueueMenuAnswer([index](IPopupMenu* menu, const IRECT&) -> IPopupMenu* {
    const IPopupMenuItem* item = menu ? menu->GetItem(index) : nullptr;
    if (!item || item->GetIsSeparator() || !item->GetEnabled() || item->GetSubmenu()) return nullptr;
    menu->SetChosenItemIdx(index);
    return menu;
  });
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type)
{
  mQuestions.push_back(
      {Question::kMessageBox, text ? text : "", caption ? caption : "", type, "", IRECT(), {}});
  if (!mMessageBoxAnswers.empty()) {
    const int answer = mMessageBoxAnswers.front();
    mMessageBoxAnswers.pop_front();
    return answer;
  }
  return CautiousAnswer(type);
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, const IRECT& rect)
{
  ReleaseMouseCapture();
  if (!WindowIsOpen()) return nullptr;
  mQuestions.push_back(
      {Question::kPopupMenu, "", "", 0, "", rect, menu ? DescribeMenu(*menu) : std::vector<std::string>()});
  if (mMenuAnswers.empty()) return nullptr;
  MenuAnswer answer = std::move(mMenuAnswers.front());
  mMenuAnswers.pop_front();
  return answer && menu ? answer(menu, rect) : nullptr;
}

void IGraphicsHeadless::CreateTextEntry(IControl* control, const IText&, const IRECT& rect, const char* str,
                                        IParam* param)
{
  if (!control || !WindowIsOpen()) return;
  mQuestions.push_back({Question::kTextEntry, str ? str : "", "", 0, "", rect, {}});
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
  const std::string start = FileDialogFolder(dir);
  mQuestions.push_back({Question::kFilePrompt,
                        *filename,
                        start,
                        static_cast<int>(action),
                        extensions ? extensions : "",
                        IRECT(),
                        {}});
  filename->clear();
  if (mFileAnswers.empty()) return;
  const std::string chosen = mFileAnswers.front();
  mFileAnswers.pop_front();
  TakeChosenFile(chosen, filename, dir);
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
