#include "Hosts.h"
#include "Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

TEST(Hosts, KeyOrderSettlesNamesWithTwoKeys)
{
  EXPECT_EQ(LookUpHost("Nuendo and Cubase"), kHostCubase);
  EXPECT_EQ(LookUpHost("logic live"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Deliverance Logic"), kHostAbletonLive); // "live" hides inside the word
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
}

TEST(Hosts, OnlyTheFirst255CharactersCount)
{
  EXPECT_EQ(LookUpHost((std::string(250, 'x') + "Reaper").c_str()), kHostUnknown);
  EXPECT_EQ(LookUpHost((std::string(249, 'x') + "Reaper").c_str()), kHostReaper);
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
