#pragma once

#include "plugin/graphics/headless/IGraphicsHeadless.h"
#include "zorva/zorva.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

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
    std::string pattern = (std::filesystem::temp_directory_path() / "zorva-editor-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    setenv("ZORVA_CONFIG_DIR", dir.c_str(), 1);
    setenv("ZORVA_RESOURCES", ZORVA_SHARE_DIR, 1);
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
    unsetenv("ZORVA_CONFIG_DIR");
    unsetenv("ZORVA_RESOURCES");
    unsetenv("ZORVA_UPDATE_URL");
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string iniFile() const { return path("zorva.ini"); }
  static std::string readFile(const std::string& file)
  {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void writeFile(const std::string& file, const std::string& text)
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }
  double plain(int idx) const { return z->GetParam(idx)->Value(); }
  void setPlain(int idx, double value)
  {
    z->GetParam(idx)->Set(value);
    z->OnParamChange(idx);
  }

  std::filesystem::path dir;
  std::unique_ptr<PanelZorva> z;
  IGraphicsHeadless* gui = nullptr;
};
