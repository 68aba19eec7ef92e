#include "Hosts.h"

#include <gtest/gtest.h>

#include <string>

// Key order settles names with two keys; only the first 255 characters count.
TEST(Hosts, KeyOrderAndLengthLimit)
{
  EXPECT_EQ(LookUpHost("Nuendo and Cubase"), kHostCubase);
  EXPECT_EQ(LookUpHost("logic live"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Deliverance Logic"), kHostAbletonLive); // "live" hides inside the word
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
  EXPECT_EQ(LookUpHost((std::string(250, 'x') + "Reaper").c_str()), kHostUnknown);
  EXPECT_EQ(LookUpHost((std::string(249, 'x') + "Reaper").c_str()), kHostReaper);
}
