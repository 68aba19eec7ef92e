#include "apps/render/progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace render {

namespace {
constexpr auto kShowAfter = std::chrono::milliseconds(1000);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;
} // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, int rate)
    : mOut(out), mEnabled(enabled), mRate(rate), mStart(Clock::now()), mLastDraw(mStart)
{
}

void ProgressBar::Update(int64_t done, int64_t expected)
{
  if (!mEnabled) return;
  const Clock::time_point now = Clock::now();
  if (now - mStart < kShowAfter || (mDrawn && now - mLastDraw < kRedrawEvery)) return;
  mLastDraw = now;
  mDrawn = true;
  const double fraction = expected > 0 ? std::min(1.0, double(done) / double(expected)) : 1.0;
  const int filled = int(fraction * kBarWidth);
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kBarWidth - filled), '.');
  char line[128];
  // Past the last event the voices are only releasing; say so rather than
  // let the bar sit at 100 %.
  std::snprintf(line, sizeof line, "\r[%s] %3d%%  %.1f s%s", bar.c_str(), int(fraction * 100.0),
                double(done) / mRate, done > expected ? "  (releasing)" : "");
  mOut << line << std::flush;
}

void ProgressBar::Finish()
{
  if (!mDrawn) return;
  mOut << '\r' << std::string(kBarWidth + 40, ' ') << '\r' << std::flush;
  mDrawn = false;
}

} // namespace render
