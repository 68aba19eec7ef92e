// The factory bank as a musician meets it: 64 distinct programs that all play
// a chord at comparable loudness without clipping.

#include "resources/bank/bank_source.h"
#include "tests/bank/render_path.h"
#include "zorva/zorva.h"

#include <ebur128.h>
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
  double loudness = -HUGE_VAL; // integrated, LUFS
  double truePeak = -HUGE_VAL; // dBTP
};

// C3, G3, C4, E4 at velocity 100: two seconds held, one second of tail.
const render_test::Bytes kChord = [] {
  render_test::Track track;
  for (uint8_t note : {48, 55, 60, 64}) track.Ev(0, {0x90, note, 100});
  track.Ev(1920, {0x80, 48, 0});
  for (uint8_t note : {55, 60, 64}) track.Ev(0, {0x80, note, 0});
  return render_test::Smf(0, 480, {track.End()});
}();

// Loudness and true peak as audio engineers measure them (ITU-R BS.1770).
Level measure(const render_test::Stereo& audio)
{
  ebur128_state* meter = ebur128_init(2, render_test::kRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  std::vector<double> interleaved;
  for (size_t i = 0; i < audio.left.size(); ++i)
    interleaved.insert(interleaved.end(), {audio.left[i], audio.right[i]});
  ebur128_add_frames_double(meter, interleaved.data(), audio.left.size());
  Level level;
  ebur128_loudness_global(meter, &level.loudness);
  for (unsigned channel : {0u, 1u}) {
    double peak = 0.0;
    ebur128_true_peak(meter, channel, &peak);
    level.truePeak = std::max(level.truePeak, peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL);
  }
  ebur128_destroy(&meter);
  return level;
}

TEST(FactoryBank, HoldsSixtyFourDistinctNamedPrograms)
{
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-bank-test", 1);
  setenv("ZORVA_RESOURCES", "/nonexistent/zorva-bank-test", 1);
  auto plug = std::make_unique<Zorva>();
  ASSERT_TRUE(plug->LoadBankFromFXB(kBankPath)) << kBankPath;
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
  // Every new instance, and a render without --program, starts on the first program.
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 0);
}

// As users render: zorva-render's loop, a fresh instance per program.
// ZORVA_PRINT_LEVELS=1 prints the table.
TEST(FactoryBankLevels, EveryProgramPlaysAChordBelowOneDBTPAndWithinSixLU)
{
  std::vector<Level> levels;
  for (int p = 0; p < 64; ++p) levels.push_back(measure(render_test::RenderProgram(kChord, p, 512, 3.0)));
  const ZorvaInstrument bank;
  const auto [quietest, loudest] = std::minmax_element(
      levels.begin(), levels.end(), [](const Level& a, const Level& b) { return a.loudness < b.loudness; });
  const bool print = std::getenv("ZORVA_PRINT_LEVELS") != nullptr;
  for (int p = 0; p < 64; ++p) {
    EXPECT_LE(levels[p].truePeak, -1.0) << bank.ProgramName(p);
    EXPECT_GT(levels[p].loudness, -60.0) << bank.ProgramName(p) << " is silent";
    if (print)
      std::printf("| %2d | %-27s | %6.1f | %6.1f |\n", p, bank.ProgramName(p).c_str(), levels[p].loudness,
                  levels[p].truePeak);
  }
  EXPECT_LE(loudest->loudness - quietest->loudness, 6.0)
      << "loudest " << bank.ProgramName(int(loudest - levels.begin())) << ", quietest "
      << bank.ProgramName(int(quietest - levels.begin()));
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
