// The standalone app's state between runs: what a musician set up comes back,
// and a file we cannot read is refused without harm.
#include "apps/instrument/zorva_instrument.h"
#include "apps/standalone/state_file.h"
#include "tests/common/test_folder.h"
#include "zorva/param_ids.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class StateFileTest : public testing::Test
{
protected:
  StateFileTest() { fs::create_directories(mDir / "config"); }

  TempFolder mFolder{"zorva-state"};
  const fs::path mDir = mFolder.dir();
  ZorvaFolders mEnv{(mDir / "config").string(), ZORVA_SHARE_DIR};
};

TEST_F(StateFileTest, ProgramsCurrentProgramAndUnstoredEditsComeBack)
{
  const std::string path = (mDir / "state" / "standalone.state").string();
  double edited = 0.0;
  std::string error;
  {
    ZorvaInstrument a;
    Zorva& plug = a.plug();
    plug.RestorePreset(5);
    plug.ModifyCurrentPreset("Renamed five");
    plug.changePreset(7);
    // An edit after choosing the program, not yet stored in it.
    plug.SetParameterFromGUI(kFlt1Cutoff, 0.25);
    edited = plug.GetParam(kFlt1Cutoff)->Value();
    ASSERT_TRUE(standalone::SaveStateFile(plug, path, error)) << error;
  }
  ZorvaInstrument b;
  Zorva& plug = b.plug();
  ASSERT_EQ(standalone::LoadStateFile(plug, path, error), standalone::LoadResult::kLoaded) << error;
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 7);
  EXPECT_STREQ(plug.GetPresetName(5), "Renamed five");
  EXPECT_EQ(plug.GetParam(kFlt1Cutoff)->Value(), edited);
  EXPECT_EQ(standalone::LoadStateFile(plug, (mDir / "none").string(), error),
            standalone::LoadResult::kMissing);
}

TEST_F(StateFileTest, DamagedFilesAreRefusedAndLeaveTheInstrumentAlone)
{
  ZorvaInstrument source;
  ByteChunk good;
  standalone::SerializeWholeState(source.plug(), good);

  ZorvaInstrument target;
  Zorva& plug = target.plug();
  plug.changePreset(3);
  const double before = plug.GetParam(kFlt1Cutoff)->Value();
  std::string error;
  // Truncated anywhere, one byte too long, or not ours at all.
  for (int size : {0, 7, 20, good.Size() / 2, good.Size() - 1, good.Size() + 1}) {
    ByteChunk bad;
    bad.PutBytes(good.GetData(), std::min(size, good.Size()));
    if (size > good.Size()) bad.Put(uint8_t(0));
    EXPECT_FALSE(standalone::UnserializeWholeState(plug, bad, error)) << size;
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 3) << size;
    EXPECT_EQ(plug.GetParam(kFlt1Cutoff)->Value(), before) << size;
  }
  // A file that is there but unreadable is reported as such, never as missing.
  const fs::path path = mDir / "garbage.state";
  writeFile(path, "not a state");
  EXPECT_EQ(standalone::LoadStateFile(plug, path.string(), error), standalone::LoadResult::kUnreadable);
  EXPECT_NE(error.find("garbage.state"), std::string::npos);
  fs::create_directories(mDir / "folder.state");
  EXPECT_EQ(standalone::LoadStateFile(plug, (mDir / "folder.state").string(), error),
            standalone::LoadResult::kUnreadable);
}

} // namespace
