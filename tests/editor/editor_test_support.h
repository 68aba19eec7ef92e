#pragma once

#include "plugin/graphics/headless/IGraphicsHeadless.h"
#include "tests/common/test_folder.h"
#include "zorva/editor/file_commands.h"
#include "zorva/zorva.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

// The first control of that type on that parameter or panel command.
template <typename T> T* findControl(IGraphics* g, int paramIdx)
{
  for (int i = 0; i < g->NControls(); ++i)
    if (auto* c = dynamic_cast<T*>(g->GetControl(i)); c && c->ParamIdx() == paramIdx) return c;
  return nullptr;
}

// The instrument as the host sees it, with its program-change notices counted.
class PanelZorva : public Zorva
{
public:
  void InformHostOfProgramChange() override
  {
    ++programChanges;
    Zorva::InformHostOfProgramChange();
  }
  IGraphicsHeadless* editor() { return static_cast<IGraphicsHeadless*>(GetGUI()); }

  int programChanges = 0;
};

// The real factory bank and panel images of the build tree, and a private
// configuration folder, so nothing of the user's is read or written.
class EditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // A version check chosen from a menu must never leave the machine.
    setenv("ZORVA_UPDATE_URL", "https://127.0.0.1:1/music/version/?file=zorva", 1);
    z = std::make_unique<PanelZorva>();
    z->SetSampleRate(44100.0);
    z->SetBlockSize(512);
    z->Reset();
    z->OnActivate(true);
    gui = z->editor();
    // File dialogs need an open editor window.
    gui->OpenWindow(nullptr);
  }
  void TearDown() override
  {
    z.reset();
    unsetenv("ZORVA_UPDATE_URL");
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string iniFile() const { return path("zorva.ini"); }
  // Runs a file command with the answer its question or file dialog will get.
  void answer(int reply, File::Command command)
  {
    gui->QueueMessageBoxAnswer(reply);
    z->runFileCommand(command);
  }
  void choose(const std::string& file, File::Command command)
  {
    gui->QueueFileAnswer(file);
    z->runFileCommand(command);
  }
  double plain(int idx) const { return z->GetParam(idx)->Value(); }
  void setPlain(int idx, double value)
  {
    z->GetParam(idx)->Set(value);
    z->OnParamChange(idx);
  }

  TempFolder folder{"zorva-editor"};
  const std::filesystem::path dir = folder.dir();
  ZorvaFolders env{dir.string(), ZORVA_SHARE_DIR};
  std::unique_ptr<PanelZorva> z;
  IGraphicsHeadless* gui = nullptr;
};
