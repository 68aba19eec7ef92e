#include "editor_test_support.h"
#include "zorva/param_ids.h"

#include <string>

namespace {
using Q = IGraphicsHeadless::Question;
constexpr int kYes = IGraphics::kMsgBoxYes;
constexpr int kNo = IGraphics::kMsgBoxNo;
} // namespace

TEST_F(EditorTest, PasteAndInitAskFirstAndChangeNothingOnNo)
{
  z->changePreset(2);
  z->runFileCommand(File::kCopyProgram);
  EXPECT_TRUE(gui->Questions().empty());
  const double volume = plain(kVolume);
  const std::string name = z->GetPresetName(2);
  z->changePreset(5);
  setPlain(kVolume, 0.5 * volume);

  answer(kNo, File::kPasteProgram);
  ASSERT_EQ(gui->Questions().size(), 1u);
  EXPECT_EQ(gui->LastQuestion()->mText, "Do you really want to overwrite the current program?");
  EXPECT_DOUBLE_EQ(plain(kVolume), 0.5 * volume);

  answer(kYes, File::kPasteProgram);
  EXPECT_DOUBLE_EQ(plain(kVolume), volume);
  EXPECT_EQ(std::string(z->GetPresetName(5)), name);

  answer(kNo, File::kInitProgram);
  EXPECT_EQ(gui->LastQuestion()->mTitle, "Initialize Program");
  EXPECT_EQ(std::string(z->GetPresetName(5)), name);
  answer(kYes, File::kInitProgram);
  EXPECT_EQ(std::string(z->GetPresetName(5)), "Init");
  EXPECT_EQ(gui->NPendingAnswers(), 0);
}

TEST_F(EditorTest, ProgramFileRoundTripWithProposedNameAndUnsavedEdits)
{
  z->ModifyCurrentPreset("Bass: 1/2 <\"*?|\\>");
  choose("", File::kSaveProgram);
  ASSERT_EQ(gui->Questions().size(), 1u) << "a cancelled dialog shows no message";
  const Q& prompt = gui->Questions()[0];
  EXPECT_EQ(prompt.mKind, Q::kFilePrompt);
  EXPECT_EQ(prompt.mText, "Bass_ 1_2 _______");
  EXPECT_EQ(prompt.mType, IGraphics::kFileSave);
  EXPECT_EQ(prompt.mExtensions, "fxp");
  EXPECT_TRUE(std::filesystem::is_empty(dir));

  // An edit not yet stored in the program is part of the file.
  setPlain(kVolume, 0.25);
  choose(path("p.fxp"), File::kSaveProgram);
  ASSERT_TRUE(std::filesystem::exists(path("p.fxp")));

  z->changePreset(7);
  ASSERT_NE(plain(kVolume), 0.25);
  choose(path("p.fxp"), File::kLoadProgram);
  EXPECT_DOUBLE_EQ(plain(kVolume), 0.25);
  EXPECT_EQ(gui->Questions().back().mKind, Q::kFilePrompt) << "success is silent";

  writeFile(path("bad.fxp"), "CcnK");
  choose(path("bad.fxp"), File::kLoadProgram);
  EXPECT_EQ(gui->LastQuestion()->mText, "Cannot load file!");

  choose(path("no/such/folder/p.fxp"), File::kSaveProgram);
  EXPECT_EQ(gui->LastQuestion()->mText, "Cannot save file!");

  // A long name is cut for the proposal without splitting a character.
  std::string name(62, 'a');
  name += "\xc3\xa9tude"; // the two-byte character straddles the limit
  name += std::string(150, 'b');
  z->ModifyCurrentPreset(name.c_str());
  EXPECT_EQ(z->proposedProgramFileName(), std::string(62, 'a'));
  z->ModifyCurrentPreset("Init");
  EXPECT_EQ(z->proposedProgramFileName(), "Init");
}

TEST_F(EditorTest, BanksAndTheStartupBankWhichIsStoredAtOnceAndLoadedOnlyOnRequest)
{
  z->changePreset(0);
  z->ModifyCurrentPreset("Mine");
  choose(path("bank.fxb"), File::kSaveBank);
  // The first dialog starts in the resource folder; the next ones where it ended.
  EXPECT_EQ(gui->LastQuestion()->mText, "Zorva");
  EXPECT_EQ(gui->LastQuestion()->mTitle, std::string(ZORVA_SHARE_DIR) + "/");
  EXPECT_EQ(z->fileFolder, dir.string() + "/");
  z->ModifyCurrentPreset("Edited");

  choose(path("bank.fxb"), File::kSelectStartupBank);
  EXPECT_EQ(z->startupBankPath, path("bank.fxb"));
  EXPECT_NE(readFile(iniFile()).find(path("bank.fxb")), std::string::npos);
  EXPECT_EQ(std::string(z->GetPresetName(0)), "Edited");

  answer(kNo, File::kLoadStartupBank);
  EXPECT_EQ(gui->LastQuestion()->mText,
            "The Startup Bank is:\n" + path("bank.fxb") + "\n\nDo you really want to reload all programs?");
  EXPECT_EQ(std::string(z->GetPresetName(0)), "Edited");
  answer(kYes, File::kLoadStartupBank);
  EXPECT_EQ(std::string(z->GetPresetName(0)), "Mine");
  choose(path("missing.fxb"), File::kLoadBank);
  EXPECT_EQ(gui->LastQuestion()->mText, "Cannot load file!");

  answer(kNo, File::kUnselectStartupBank);
  EXPECT_EQ(gui->LastQuestion()->mTitle, "Unselect Startup Bank");
  EXPECT_EQ(z->startupBankPath, path("bank.fxb"));
  answer(kYes, File::kUnselectStartupBank);
  EXPECT_TRUE(z->startupBankPath.empty());
  EXPECT_EQ(readFile(iniFile()).find("bank.fxb"), std::string::npos);
}

TEST_F(EditorTest, ConfigurationCommandsNameTheFileAndHonourNo)
{
  z->midiCCParam[7] = kVolume;
  answer(kNo, File::kSaveConfig);
  EXPECT_EQ(gui->LastQuestion()->mText,
            "The INI configuration file is:\n" + iniFile() + "\n\nDo you really want to overwrite it?");
  EXPECT_FALSE(std::filesystem::exists(iniFile()));
  answer(kYes, File::kSaveConfig);
  EXPECT_NE(readFile(iniFile()).find("CC7=4"), std::string::npos);

  z->midiCCParam[7] = -1;
  answer(kNo, File::kReloadConfig);
  EXPECT_EQ(gui->LastQuestion()->mTitle, "Reload Configuration");
  EXPECT_EQ(z->midiCCParam[7], -1);
  answer(kYes, File::kReloadConfig);
  EXPECT_EQ(z->midiCCParam[7], kVolume);
}

TEST_F(EditorTest, SeparatorsAndUnknownCommandsDoNothing)
{
  z->changePreset(0);
  z->ModifyCurrentPreset("Kept");
  for (int command : {3, 8, 14, 16, 17, 1000, -1}) z->runFileCommand(static_cast<File::Command>(command));
  // Both startup-bank commands are meaningless without a selected bank.
  z->runFileCommand(File::kLoadStartupBank);
  z->runFileCommand(File::kUnselectStartupBank);
  EXPECT_TRUE(gui->Questions().empty());
  EXPECT_EQ(std::string(z->GetPresetName(0)), "Kept");
}
