#include "IMidiQueue.h"

#include <climits>
#include <cstdlib>
#include <cstring>

IMidiQueue::IMidiQueue()
{
  Expand();
}

IMidiQueue::~IMidiQueue()
{
  std::free(mBuf);
}

void IMidiQueue::Add(const IMidiMsg& msg)
{
  if (mBack >= mSize) {
    if (mFront > 0) {
      Compact();
    } else if (!Expand()) {
      return;
    }
  }

  if (!Empty() && msg.mOffset < mBuf[mBack - 1].mOffset) {
    // Walk back from the newest: events mostly arrive in time order, so this is short.
    int insertAt = mFront;
    for (int i = mBack - 2; i >= mFront; --i) {
      if (mBuf[i].mOffset <= msg.mOffset) {
        insertAt = i + 1;
        break;
      }
    }
    std::memmove(&mBuf[insertAt + 1], &mBuf[insertAt], (mBack - insertAt) * sizeof(IMidiMsg));
    mBuf[insertAt] = msg;
  } else {
    mBuf[mBack] = msg;
  }
  ++mBack;
}

void IMidiQueue::Flush(int nFrames)
{
  Compact();
  for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= nFrames;
}

void IMidiQueue::Resize(int blockSize)
{
  if (mFront > 0) Compact();
  // At least one page: a block size of 0 (a host that has not announced one yet)
  // would leave a queue that can neither hold nor grow, dropping every message.
  mGrow = Granulize(blockSize < 1 ? 1 : blockSize);
  int target = mGrow;
  if (target < mBack) target = Granulize(mBack);
  if (target == mSize) return;

  void* buf = std::realloc(mBuf, static_cast<size_t>(target) * sizeof(IMidiMsg));
  if (!buf) return;
  mBuf = static_cast<IMidiMsg*>(buf);
  mSize = target;
}

bool IMidiQueue::Expand()
{
  if (mGrow <= 0 || mSize > INT_MAX / static_cast<int>(sizeof(IMidiMsg)) - mGrow) return false;
  const int size = (mSize / mGrow + 1) * mGrow;
  void* buf = std::realloc(mBuf, static_cast<size_t>(size) * sizeof(IMidiMsg));
  if (!buf) return false;
  mBuf = static_cast<IMidiMsg*>(buf);
  mSize = size;
  return true;
}

void IMidiQueue::Compact()
{
  mBack -= mFront;
  if (mBack > 0) std::memmove(&mBuf[0], &mBuf[mFront], mBack * sizeof(IMidiMsg));
  mFront = 0;
}

int IMidiQueue::Granulize(int n)
{
  // The array is granted in pages of 4096 bytes, 512 messages each.
  constexpr int kPage = 4096 / static_cast<int>(sizeof(IMidiMsg));
  if (n < 0) n = 0;
  const int rest = n % kPage;
  return rest ? n + kPage - rest : n;
}
