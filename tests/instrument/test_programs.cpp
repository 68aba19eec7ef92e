#include "instrument_test_support.h"

#include <cstring>

class Programs : public InstrumentTest
{
protected:
  static std::vector<double> values(const Zorva& z)
  {
    std::vector<double> v;
    for (int i = 0; i < z.NParams(); ++i) v.push_back(z.GetParam(i)->Value());
    return v;
  }

  // A bank whose program i is named prefix + i and has its own volume and
  // cutoff, written with the framework's bank writer.
  static void writeBank(const std::string& file, const std::string& prefix)
  {
    auto z = makeZorva();
    for (int i = 0; i < Synth::kNumPrograms; ++i) {
      z->changePreset(i);
      setParam(*z, kVolume, i / 32.0);
      setParam(*z, kFlt2Cutoff, (63 - i) / 63.0);
      z->ModifyCurrentPreset((prefix + std::to_string(i)).c_str());
    }
    z->changePreset(2);
    ASSERT_TRUE(z->SaveBankAsFXB(file));
  }
};

TEST_F(Programs, StartupBankAndItsFallback)
{
  writeBank(factoryBank(), "Factory ");
  writeBank(path("mine.fxb"), "Mine ");
  writeFile(iniFile(), "[Startup Bank]\nFile=" + path("mine.fxb") + "\n");
  auto z = makeZorva();
  EXPECT_EQ(z->startupBankPath, path("mine.fxb"));
  EXPECT_STREQ(z->GetPresetName(5), "Mine 5");

  // Unreadable: the factory bank instead; the file keeps naming the old bank.
  std::filesystem::remove(path("mine.fxb"));
  const std::string before = readFile(iniFile());
  auto fallback = makeZorva();
  EXPECT_TRUE(fallback->startupBankPath.empty());
  EXPECT_STREQ(fallback->GetPresetName(5), "Factory 5");
  EXPECT_STREQ(fallback->GetPresetName(63), "Factory 63");
  EXPECT_EQ(fallback->GetCurrentPresetIdx(), 2);
  EXPECT_NEAR(fallback->GetParam(kVolume)->Value(), 2 / 32.0, 1e-6);
  EXPECT_EQ(readFile(iniFile()), before);

  // And without either, the programs stay as the plug-in base made them.
  std::filesystem::remove(factoryBank());
  auto bare = makeZorva();
  EXPECT_STREQ(bare->GetPresetName(5), "empty");
}

TEST_F(Programs, CopyAndPaste)
{
  writeBank(factoryBank(), "P");
  auto z = makeZorva();

  // Paste with nothing copied does nothing.
  z->changePreset(9);
  const std::vector<double> untouched = values(*z);
  z->pastePreset();
  EXPECT_EQ(values(*z), untouched);
  EXPECT_STREQ(z->GetPresetName(9), "P9");

  // The later copy wins.
  for (auto [from, to] : {std::pair(3, 7), std::pair(5, 9)}) {
    z->changePreset(from);
    const std::vector<double> copied = values(*z);
    z->copyPreset();
    EXPECT_EQ(z->clipboardProgram, from);
    z->changePreset(to);
    z->pastePreset();
    EXPECT_EQ(z->GetCurrentPresetIdx(), to);
    EXPECT_STREQ(z->GetPresetName(to), ("P" + std::to_string(from)).c_str());
    EXPECT_EQ(values(*z), copied);
    z->changePreset(0);
    z->changePreset(to);
    EXPECT_EQ(values(*z), copied);
  }

  // Pasting a program onto itself keeps its name intact.
  z->copyPreset();
  z->pastePreset();
  EXPECT_STREQ(z->GetPresetName(9), "P5");
}

TEST_F(Programs, SwitchingKeepsEditsAndInitialiseResetsOnlyTheCurrentProgram)
{
  writeBank(factoryBank(), "P");
  auto z = makeZorva();
  const int changes = z->GetProgramChangeCount();
  z->changePreset(4);
  setParam(*z, kVoices, 5);
  setParam(*z, kOsc1Wave, 2);
  z->changePreset(6);
  const std::vector<double> six = values(*z);
  EXPECT_NE(z->GetParam(kOsc1Wave)->Value(), 2.0);
  z->changePreset(4);
  EXPECT_EQ(z->GetParam(kOsc1Wave)->Value(), 2.0);
  EXPECT_EQ(z->GetProgramChangeCount(), changes + 3);

  z->initPreset();
  EXPECT_STREQ(z->GetPresetName(4), "Init");
  for (int i = 0; i < z->NParams(); ++i) {
    const IParam* p = z->GetParam(i);
    EXPECT_NEAR(p->Value(), p->GetDefault(), 1e-12) << p->GetNameForHost();
  }
  EXPECT_EQ(z->getVoiceCount(), 1);
  z->changePreset(6);
  EXPECT_EQ(values(*z), six);
  EXPECT_STREQ(z->GetPresetName(6), "P6");
}

class BankBlob : public Programs
{
protected:
  void SetUp() override
  {
    Programs::SetUp();
    writeBank(path("bank.fxb"), "Blob ");
    const std::string bytes = readFile(path("bank.fxb"));
    image.assign(bytes.begin(), bytes.end());
    ASSERT_EQ(image.size(), 29340u);
  }
  void putBE(size_t pos, uint32_t v)
  {
    for (int b = 0; b < 4; ++b) image[pos + b] = uint8_t(v >> (24 - 8 * b));
  }
  std::vector<uint8_t> image;
};

TEST_F(BankBlob, ExcessProgramsAndHostileValuesAreContained)
{
  auto z = makeZorva();
  ASSERT_TRUE(z->loadFXBfromBlob(image.data(), int(image.size())));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 2);
  z->changePreset(40);
  EXPECT_NEAR(z->GetParam(kVolume)->Value(), 40 / 32.0, 1e-6);

  putBE(24, 1000); // more programs than the bank holds
  putBE(28, 77);   // and a current program that does not exist
  // Program 0's volume NaN, its cutoff far out of range.
  putBE(156 + 56 + 4 * kVolume, 0x7FC00000u);
  putBE(156 + 56 + 4 * kFlt2Cutoff, 0x4E6E6B28u); // 1e9
  image.resize(image.size() + 1000 * 456, 0);
  ASSERT_TRUE(z->loadFXBfromBlob(image.data(), int(image.size())));
  EXPECT_STREQ(z->GetPresetName(63), "Blob 63");
  z->changePreset(0);
  EXPECT_EQ(z->GetParam(kVolume)->Value(), 0.0);
  EXPECT_EQ(z->GetParam(kFlt2Cutoff)->Value(), 1.0);

  // A name filling all 28 bytes stays within them.
  std::memset(&image[156 + 28], 'x', 28);
  ASSERT_TRUE(z->loadFXBfromBlob(image.data(), int(image.size())));
  EXPECT_EQ(std::string(z->GetPresetName(0)), std::string(28, 'x'));
}

// Every prefix of a bank, and the same bytes with hostile headers, stay inside
// the image (run under AddressSanitizer to see it); a refused image changes
// nothing, and two announced programs need only their own bytes.
TEST_F(BankBlob, AnyPrefixOrCountIsSafe)
{
  auto z = makeZorva();
  EXPECT_FALSE(z->loadFXBfromBlob(nullptr, 1000));
  const std::vector<uint8_t> valid = image;
  for (uint32_t count : {0xFFFFFFFFu, 2u, 64u, 65u, 0x7FFFFFFFu}) {
    image = valid;
    putBE(24, count);
    putBE(28, count);
    const size_t needed = 156 + std::min(count, 64u) * 456u;
    for (size_t size = 0; size <= image.size(); size += 151) {
      std::vector<uint8_t> prefix(image.begin(), image.begin() + size); // exact-size allocation
      const bool loaded = z->loadFXBfromBlob(prefix.data(), int(prefix.size()));
      EXPECT_EQ(loaded, count < 0x80000000u && size >= needed) << size;
    }
    if (count == 0xFFFFFFFFu) {
      for (int i = 0; i < 64; ++i) EXPECT_STREQ(z->GetPresetName(i), "empty");
    }
    if (count == 2u) {
      EXPECT_STREQ(z->GetPresetName(1), "Blob 1");
      EXPECT_STREQ(z->GetPresetName(3), "empty");
    }
  }
}
