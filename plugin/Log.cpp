#include "Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

void Trace(const char*, int, const char*, ...) {}

const char* AUSelectStr(int)
{
  return "";
}

const char* AUPropertyStr(int)
{
  return "";
}

const char* AUScopeStr(int)
{
  return "";
}

const char* VSTOpcodeStr(int)
{
  return "";
}

int UtcOffsetMinutes(const tm& local, const tm& utc)
{
  int offset = (local.tm_min - utc.tm_min) + 60 * (local.tm_hour - utc.tm_hour);
  const int dayDiff = local.tm_yday - utc.tm_yday;
  if (dayDiff <= -2) {
    offset += 1440; // the local date is already in the next year
  } else if (dayDiff >= 2) {
    offset -= 1440; // the local date is still in the previous year
  } else {
    offset += 1440 * dayDiff;
  }
  return offset;
}

const char* CurrentTime()
{
  thread_local char text[64];
  const time_t now = time(nullptr);
  tm local{}, utc{};
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);

  const int offset = UtcOffsetMinutes(local, utc);
  const int magnitude = offset < 0 ? -offset : offset;
  char stamp[32];
  strftime(stamp, sizeof(stamp), "%Y%m%d %H:%M ", &local);
  std::snprintf(text, sizeof(text), "%s%c%02d%02d", stamp, offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

namespace {

// "Dec  6 2026" -> year, month 1-12, day; false for anything else.
bool ParseCompilerDate(const char* date, int* year, int* month, int* day)
{
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char name[4] = {};
  if (!date || std::sscanf(date, "%3s %d %d", name, day, year) != 3) return false;
  const char* found = std::strstr(kMonths, name);
  if (!found || std::strlen(name) != 3 || (found - kMonths) % 3 != 0) return false;
  *month = static_cast<int>(found - kMonths) / 3 + 1;
  return true;
}

} // namespace

void CompileTimestamp(const char* date, const char* time, char* text)
{
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (!ParseCompilerDate(date, &year, &month, &day) || !time ||
      std::sscanf(time, "%d:%d", &hour, &minute) != 2) {
    text[0] = '\0';
    return;
  }
  std::snprintf(text, 32, "%04d.%02d.%02d %02d:%02d", year % 10000, month, day % 100, hour % 100,
                minute % 100);
}

void AppendTimestamp(const char* date, const char* time, char* text)
{
  char stamp[32];
  CompileTimestamp(date, time, stamp);
  if (stamp[0] == '\0') return;
  const size_t len = std::strlen(text);
  std::snprintf(text + len, 20, " [%.16s]", stamp);
}
