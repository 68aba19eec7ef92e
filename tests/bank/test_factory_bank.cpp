// The factory bank as a musician meets it: 64 distinct programs that all play
// a chord at comparable loudness without clipping.

#include "resources/bank/bank_source.h"
#include "zorva/zorva.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kBankPath = std::string(ZORVA_SHARE_DIR) + "/init.fxb";

struct Level
{
  double peakDb = -INFINITY;
  double rmsDb = -INFINITY;
};

double toDb(double amplitude)
{
  return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -INFINITY;
}

// C3, G3, C4, E4 at velocity 100: two seconds held, one second of tail.
Level playChord(Zorva& plug, int program)
{
  constexpr int kRate = 44100, kBlock = 512;
  plug.RestorePreset(program);
  plug.SetSampleRate(kRate);
  plug.SetBlockSize(kBlock);
  plug.Reset();
  plug.OnActivate(true);

  std::vector<double> left(kBlock), right(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  double peak = 0.0, sumSquares = 0.0;
  long frames = 0;
  auto render = [&](long count) {
    for (long done = 0; done < count; done += kBlock) {
      const int n = int(std::min<long>(kBlock, count - done));
      plug.ProcessDoubleReplacing(nullptr, outputs, n);
      for (int i = 0; i < n; ++i) {
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        sumSquares += left[i] * left[i] + right[i] * right[i];
      }
      frames += n;
    }
  };
  const int chord[] = {48, 55, 60, 64};
  for (int note : chord) {
    IMidiMsg msg;
    msg.MakeNoteOnMsg(note, 100, 0);
    plug.ProcessMidiMsg(&msg);
  }
  render(2L * kRate);
  for (int note : chord) {
    IMidiMsg msg;
    msg.MakeNoteOffMsg(note, 0);
    plug.ProcessMidiMsg(&msg);
  }
  render(1L * kRate);
  return {toDb(peak), toDb(std::sqrt(sumSquares / (2.0 * double(frames))))};
}

class FactoryBank : public ::testing::Test
{
protected:
  void SetUp() override
  {
    setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-bank-test", 1);
    setenv("ZORVA_RESOURCES", "/nonexistent/zorva-bank-test", 1);
    plug = std::make_unique<Zorva>();
    ASSERT_TRUE(plug->LoadBankFromFXB(kBankPath)) << kBankPath;
  }
  std::unique_ptr<Zorva> plug;
};

TEST_F(FactoryBank, HoldsSixtyFourDistinctNamedPrograms)
{
  ASSERT_EQ(plug->NPresets(), 64);
  std::set<std::string> names;
  for (int p = 0; p < 64; ++p) {
    const std::string name = plug->GetPresetName(p);
    EXPECT_FALSE(name.empty()) << "program " << p;
    EXPECT_LE(name.size(), size_t(bank::kMaxProgramNameLen)) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 64u);
  EXPECT_STREQ(plug->GetPresetName(0), "Twin Saw Poly");
}

TEST_F(FactoryBank, EveryProgramPlaysAChordWithoutClippingAndAtComparableLoudness)
{
  std::vector<Level> levels;
  for (int p = 0; p < 64; ++p) levels.push_back(playChord(*plug, p));

  const auto [quietest, loudest] = std::minmax_element(
      levels.begin(), levels.end(), [](const Level& a, const Level& b) { return a.rmsDb < b.rmsDb; });
  const bool print = std::getenv("ZORVA_PRINT_LEVELS") != nullptr;
  for (int p = 0; p < 64; ++p) {
    EXPECT_LE(levels[p].peakDb, -1.0) << plug->GetPresetName(p);
    EXPECT_GT(levels[p].rmsDb, -60.0) << plug->GetPresetName(p) << " is silent";
    if (print)
      std::printf("| %2d | %-27s | %6.1f | %6.1f |\n", p, plug->GetPresetName(p), levels[p].peakDb,
                  levels[p].rmsDb);
  }
  EXPECT_LE(loudest->rmsDb - quietest->rmsDb, 6.0)
      << "loudest " << plug->GetPresetName(int(loudest - levels.begin())) << ", quietest "
      << plug->GetPresetName(int(quietest - levels.begin()));
}

TEST(BankSource, ReportsTheLineOfEveryMistake)
{
  std::vector<bank::ProgramSource> programs;
  std::string error;
  EXPECT_TRUE(bank::ParseBankSource("# c\n[A]\nVolume = 0.5\n\n[B]\n", programs, error));
  ASSERT_EQ(programs.size(), 2u);
  EXPECT_EQ(programs[0].mAssignments[0].mName, "Volume");
  EXPECT_EQ(programs[0].mAssignments[0].mValue, "0.5");

  const std::pair<const char*, const char*> broken[] = {
      {"Volume = 1\n", "line 1: parameter line before the first program header"},
      {"[A]\nVolume\n", "line 2: expected \"Parameter Name = value\""},
      {"[A]\n[A]\n", "line 2: duplicate program name: A"},
      {"[A\n", "line 1: a program header must end with ']'"},
      {"[]\n", "line 1: empty program name"},
      {"[A name far longer than allowed]\n", "line 1: program name longer than 27 characters: "
                                             "A name far longer than allowed"},
      {"[A]\nVolume = \n", "line 2: expected \"Parameter Name = value\""},
  };
  for (const auto& [text, message] : broken) {
    EXPECT_FALSE(bank::ParseBankSource(text, programs, error)) << text;
    EXPECT_EQ(error, message);
  }
}

} // namespace
