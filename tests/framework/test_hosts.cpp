#include "Hosts.h"
#include "Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

std::string HostName(int host)
{
  char text[kMaxHostNameLen];
  GetHostNameStr(EHost(host), text);
  return text;
}

TEST(Hosts, LooksUpRealHostNames)
{
  EXPECT_EQ(LookUpHost("com.apple.logic10"), kHostLogic);
  EXPECT_EQ(LookUpHost("com.apple.garageband10"), kHostGarageBand);
  EXPECT_EQ(LookUpHost("com.ableton.live"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("REAPER"), kHostReaper);
  EXPECT_EQ(LookUpHost("Ardour 8.4"), kHostArdour);
  EXPECT_EQ(LookUpHost("com.presonus.studioone5"), kHostStudioOne);
  EXPECT_EQ(LookUpHost("Digital Performer"), kHostDigitalPerformer);
  EXPECT_EQ(LookUpHost("Zorva Standalone"), kHostStandalone);
  EXPECT_EQ(LookUpHost("Melodyne"), kHostMelodyne);
  EXPECT_EQ(LookUpHost(""), kHostUnknown);
  EXPECT_EQ(LookUpHost("Bitwig Studio"), kHostUnknown);
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
}

TEST(Hosts, KeyOrderSettlesNamesWithTwoKeys)
{
  EXPECT_EQ(LookUpHost("Nuendo and Cubase"), kHostCubase);
  EXPECT_EQ(LookUpHost("logic live"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Deliverance Logic"), kHostAbletonLive); // "live" hides inside the word
}

TEST(Hosts, OnlyTheFirst255CharactersCount)
{
  EXPECT_EQ(LookUpHost((std::string(250, 'x') + "Reaper").c_str()), kHostUnknown);
  EXPECT_EQ(LookUpHost((std::string(249, 'x') + "Reaper").c_str()), kHostReaper);
}

TEST(Hosts, DisplayNames)
{
  EXPECT_EQ(HostName(kHostUninit), "Unknown");
  EXPECT_EQ(HostName(kHostUnknown), "Unknown");
  EXPECT_EQ(HostName(kHostSonar), "Sonar");
  EXPECT_EQ(HostName(kHostMelodyne), "Unknown");
  EXPECT_EQ(HostName(kHostVegas), "Vegas");
  EXPECT_EQ(HostName(kHostDigitalPerformer), "DigitalPerformer");
  EXPECT_EQ(HostName(kHostVST3TestHost), "VST3PluginTestHost");
  EXPECT_EQ(HostName(kHostOpenMPT), "OpenMPT");
  EXPECT_EQ(HostName(31), "Unknown");
  EXPECT_EQ(HostName(-7), "Unknown");
}

TEST(Hosts, TextHelpers)
{
  char lower[32];
  ToLower(lower, "GarageBand 10.4");
  EXPECT_STREQ(lower, "garageband 10.4");
  for (int c : {9, 10, 13, 32}) EXPECT_TRUE(IsWhitespace(char(c))) << c;
  for (int c : {0, 11, 12, int('a'), 160}) EXPECT_FALSE(IsWhitespace(char(c))) << c;
}

// Runs CurrentTime in the time zone tz and returns its text.
std::string TimeIn(const char* tz)
{
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", tz, 1);
  tzset();
  std::string text = CurrentTime();
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  return text;
}

TEST(Log, CurrentTimeCarriesTheUtcOffset)
{
  const std::string east = TimeIn("XXX-2");
  ASSERT_EQ(east.size(), 20u) << east; // "20261206 09:15 +0200"
  EXPECT_EQ(east.substr(15), "+0200");
  EXPECT_EQ(TimeIn("XXX+5:30").substr(15), "-0530");
  EXPECT_EQ(TimeIn("UTC0").substr(15), "+0000");
}

TEST(Log, OffsetAcrossTheYearBoundary)
{
  tm utc{}, local{};
  // 31 December 23:30 UTC is 1 January 01:30 two hours east.
  utc.tm_yday = 364;
  utc.tm_hour = 23;
  utc.tm_min = 30;
  local.tm_yday = 0;
  local.tm_hour = 1;
  local.tm_min = 30;
  EXPECT_EQ(UtcOffsetMinutes(local, utc), 120);
  // And the other way: 1 January 00:15 UTC is 31 December 19:15 five hours west.
  EXPECT_EQ(UtcOffsetMinutes(tm{0, 15, 19, 0, 0, 0, 0, 364, 0, 0, nullptr},
                             tm{0, 15, 0, 0, 0, 0, 0, 0, 0, 0, nullptr}),
            -300);
  // Across midnight within the year.
  EXPECT_EQ(UtcOffsetMinutes(tm{0, 30, 0, 0, 0, 0, 0, 101, 0, 0, nullptr},
                             tm{0, 0, 19, 0, 0, 0, 0, 100, 0, 0, nullptr}),
            330);
}

TEST(Log, BuildStamps)
{
  char text[64];
  CompileTimestamp("Dec  6 2026", "09:15:42", text);
  EXPECT_STREQ(text, "2026.12.06 09:15");
  std::snprintf(text, sizeof(text), "Zorva");
  AppendTimestamp("Jan 31 2027", "23:59:00", text);
  EXPECT_STREQ(text, "Zorva [2027.01.31 23:59]");
  CompileTimestamp("garbage", "09:15", text);
  EXPECT_STREQ(text, "");
}

} // namespace
