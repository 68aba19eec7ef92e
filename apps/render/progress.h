#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace render {

// A one-line bar on a terminal, redrawn in place. It appears only once a
// render has taken about a second, so quick renders print nothing.
class ProgressBar
{
public:
  ProgressBar(std::ostream& out, bool enabled, int rate);
  void Update(int64_t done, int64_t expected);
  // Clears the line if anything was drawn.
  void Finish();

private:
  using Clock = std::chrono::steady_clock;
  std::ostream& mOut;
  bool mEnabled;
  int mRate;
  bool mDrawn = false;
  Clock::time_point mStart;
  Clock::time_point mLastDraw;
};

} // namespace render
