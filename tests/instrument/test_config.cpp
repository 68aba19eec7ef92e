#include "instrument_test_support.h"

using Config = InstrumentTest;

TEST_F(Config, ReadingFollowsTheTextRules)
{
  auto z = makeZorva(); // no file: nothing assigned, and nothing written
  EXPECT_EQ(z->iniPath, iniFile());
  for (int n = 0; n < Synth::kNumLearnableControllers; ++n) EXPECT_EQ(z->midiCCParam[n], -1) << n;
  EXPECT_TRUE(z->startupBankPath.empty());
  EXPECT_FALSE(std::filesystem::exists(iniFile()));

  writeFile(iniFile(), "[midi control]\ncc7=0\nCC8=abc\nCC9=\nCC10= 42 \nCC11=150\nCC12=12x\nCC119=99\n"
                       "CC120=5\n[startup bank]\nfile=/banks/a b.fxb\n");
  z = makeZorva();
  // 150 is kept, though it matches no parameter.
  const std::pair<int, int> expected[] = {{7, 0}, {8, -1}, {9, -1}, {10, 42}, {11, 150}, {12, 12}, {119, 99}};
  for (auto [cc, param] : expected) EXPECT_EQ(z->midiCCParam[cc], param) << "CC" << cc;
  // The bank cannot be read, so construction forgot it.
  EXPECT_TRUE(z->startupBankPath.empty());

  // Reloading: an empty value keeps the entry, an absent key unassigns it.
  z->midiCCParam[9] = 5;
  z->midiCCParam[20] = 3;
  z->loadConfig();
  EXPECT_EQ(z->midiCCParam[9], 5);
  EXPECT_EQ(z->midiCCParam[20], -1);
  EXPECT_EQ(z->startupBankPath, "/banks/a b.fxb");
}

// Saved assignments reach the next instance; learning without saving leaves the file.
TEST_F(Config, SavedAssignmentsReachTheNextInstanceAndOnlyThose)
{
  {
    auto z = makeZorva();
    z->doMidiLearn(true);
    z->setMidiLearnCC(74);
    z->setMidiLearnParam(kFlt2Cutoff);
    z->saveConfig();
  }
  const std::string before = readFile(iniFile());
  auto z = makeZorva();
  EXPECT_EQ(z->midiCCParam[74], kFlt2Cutoff);
  z->doMidiLearn(true);
  z->setMidiLearnCC(5);
  z->setMidiLearnParam(kVolume);
  EXPECT_EQ(z->midiCCParam[5], kVolume);
  z.reset();
  EXPECT_EQ(readFile(iniFile()), before);
}

TEST_F(Config, MissingFolderIsCreatedOnWrite)
{
  const std::string nested = path("fresh/account/zorva");
  setenv("ZORVA_CONFIG_DIR", nested.c_str(), 1);
  auto z = makeZorva();
  z->setStartupFxb("/x.fxb");
  EXPECT_EQ(readFile(nested + "/zorva.ini"), "[Startup Bank]\nFile=/x.fxb\n\n");
}

// The store refuses a value it could not read back; that is a failed write,
// not a silent success.
TEST_F(Config, RefusedWriteIsReported)
{
  auto z = makeZorva();
  z->setStartupFxb("/banks/two\nlines.fxb");
  ASSERT_EQ(z->editor()->Questions().size(), 1u);
  const auto& q = z->editor()->Questions()[0];
  EXPECT_EQ(q.mText, "Uhoh, something is wrong with writing the INI file!");
  EXPECT_EQ(q.mTitle, "Problem with INI File");
  EXPECT_EQ(q.mType, 0);
  EXPECT_EQ(z->startupBankPath, "/banks/two\nlines.fxb");

  // A configuration the store cannot read whole is kept, and the user is told.
  const std::string unreadable = std::string(300000, '#') + "\n[MIDI Control]\nCC1=5\n";
  writeFile(iniFile(), unreadable);
  z->setStartupFxb("/banks/live.fxb");
  ASSERT_EQ(z->editor()->Questions().size(), 2u);
  EXPECT_EQ(z->editor()->Questions()[1].mText, "Uhoh, something is wrong with writing the INI file!");
  EXPECT_EQ(readFile(iniFile()), unreadable);
}

TEST_F(Config, LocationFollowsTheEnvironment)
{
  EXPECT_EQ(Synth::configFilePath(), iniFile());
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  unsetenv("ZORVA_CONFIG_DIR");
  setenv("XDG_CONFIG_HOME", "/xdg/conf", 1);
  EXPECT_EQ(Synth::configFilePath(), "/xdg/conf/zorva/zorva.ini");
  setenv("XDG_CONFIG_HOME", "relative/conf", 1); // invalid: ignored
  setenv("HOME", "/home/player", 1);
  EXPECT_EQ(Synth::configFilePath(), "/home/player/.config/zorva/zorva.ini");
  unsetenv("XDG_CONFIG_HOME");
  if (home)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}
