#include "zorva/editor/file_commands.h"
#include "plugin/graphics/IGraphics.h"
#include "zorva/synth.h"

#include <cstdio>
#include <string>

namespace {
// Proposed file names keep to what every file system accepts.
constexpr size_t kMaxProposedName = 63;

bool confirmed(IGraphics* gui, const char* text, const char* title)
{
  return gui->ShowMessageBox(text, title, IGraphics::kMsgBoxTypeYesNo) != IGraphics::kMsgBoxNo;
}

bool confirmedWithPath(IGraphics* gui, const char* format, const std::string& path, const char* title)
{
  char text[1025];
  std::snprintf(text, sizeof(text), format, path.c_str());
  return confirmed(gui, text, title);
}

void reportFailure(IGraphics* gui, bool ok, const char* text)
{
  if (!ok) gui->ShowMessageBox(text, "Error", IGraphics::kMsgBoxTypeOK);
}
} // namespace

std::string Synth::proposedProgramFileName()
{
  std::string name = GetPresetName(GetCurrentPresetIdx());
  if (name.size() > kMaxProposedName) {
    size_t cut = kMaxProposedName;
    // Never leave half of a multi-byte character at the end.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  replaceIllegalFileChar(name.data());
  return name;
}

void Synth::runFileCommand(File::Command command)
{
  IGraphics* gui = graphics;
  if (!gui) return;

  // Each dialog answers with the chosen path, or an empty one when cancelled.
  auto askForFile = [&](IGraphics::EFileAction action, const char* extension, std::string proposed) {
    gui->PromptForFile(&proposed, action, &fileFolder, extension);
    return proposed;
  };

  switch (command) {
  case File::kCopyProgram: copyPreset(); break;
  case File::kPasteProgram:
    if (confirmed(gui, "Do you really want to overwrite the current program?", "Paste Program"))
      pastePreset();
    break;
  case File::kInitProgram:
    if (confirmed(gui, "Do you really want to initialize the current program?", "Initialize Program"))
      initPreset();
    break;
  case File::kLoadProgram: {
    const std::string path = askForFile(IGraphics::kFileOpen, "fxp", "");
    if (!path.empty()) reportFailure(gui, LoadProgramFromFXP(path), "Cannot load file!");
    break;
  }
  case File::kSaveProgram: {
    const std::string path = askForFile(IGraphics::kFileSave, "fxp", proposedProgramFileName());
    if (path.empty()) break;
    ModifyCurrentPreset();
    reportFailure(gui, SaveProgramAsFXP(path), "Cannot save file!");
    break;
  }
  case File::kLoadBank: {
    const std::string path = askForFile(IGraphics::kFileOpen, "fxb", "");
    if (!path.empty()) reportFailure(gui, LoadBankFromFXB(path), "Cannot load file!");
    break;
  }
  case File::kSaveBank: {
    const std::string path = askForFile(IGraphics::kFileSave, "fxb", "Zorva");
    if (path.empty()) break;
    ModifyCurrentPreset();
    reportFailure(gui, SaveBankAsFXB(path), "Cannot save file!");
    break;
  }
  case File::kReloadConfig:
    if (confirmedWithPath(gui, "The INI configuration file is:\n%s\n\nDo you really want to reload it?",
                          iniPath, "Reload Configuration"))
      loadConfig();
    break;
  case File::kSaveConfig:
    if (confirmedWithPath(gui, "The INI configuration file is:\n%s\n\nDo you really want to overwrite it?",
                          iniPath, "Save Configuration"))
      saveConfig();
    break;
  case File::kSelectStartupBank: {
    const std::string path = askForFile(IGraphics::kFileOpen, "fxb", "");
    if (path.empty()) break;
    startupBankPath = path;
    saveStartupFxb();
    break;
  }
  case File::kLoadStartupBank:
    if (startupBankPath.empty()) break;
    if (confirmedWithPath(gui, "The Startup Bank is:\n%s\n\nDo you really want to reload all programs?",
                          startupBankPath, "Load Startup Bank"))
      reportFailure(gui, LoadBankFromFXB(startupBankPath), "Cannot load file!");
    break;
  case File::kUnselectStartupBank:
    if (startupBankPath.empty()) break;
    if (confirmedWithPath(gui, "The Startup Bank is:\n%s\n\nDo you really want to unselect it?",
                          startupBankPath, "Unselect Startup Bank"))
      unsetStartupFxb();
    break;
  case File::kCheckOnline: checkVersionAgainstWeb(); break;
  default: break;
  }
}
