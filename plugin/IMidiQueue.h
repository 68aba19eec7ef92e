#pragma once

#include "IPluginStructs.h"

// Holds MIDI messages in non-decreasing order of their sample offsets until the
// audio thread takes them. No lock of its own: the owner serialises Add against
// draining when its host may call both at once.
//
// Draining, once per processing step of nFrames:
//   while (!q.Empty() && q.Peek()->mOffset <= nFrames) { act on *q.Peek(); q.Remove(); }
//   q.Flush(nFrames);
class IMidiQueue
{
public:
  static constexpr int kInitialGrow = 1024;

  IMidiQueue();
  ~IMidiQueue();
  IMidiQueue(const IMidiQueue&) = delete;
  IMidiQueue& operator=(const IMidiQueue&) = delete;

  // Inserts after every message with an offset not greater than its own, so equal
  // offsets keep their arrival order. Allocates only when the queue is full; if that
  // fails the message is dropped.
  void Add(const IMidiMsg& msg);
  void Add(const IMidiMsg* msg) { Add(*msg); }

  bool Empty() const { return mFront == mBack; }
  // Number of messages pending.
  int ToDo() const { return mBack - mFront; }
  // The oldest pending message, which the caller may modify; null when empty.
  IMidiMsg* Peek() { return Empty() ? nullptr : &mBuf[mFront]; }
  // The newest pending message; null when empty.
  const IMidiMsg* Back() const { return Empty() ? nullptr : &mBuf[mBack - 1]; }
  // Drops the oldest pending message (nothing when empty).
  void Remove()
  {
    if (!Empty()) ++mFront;
  }
  // Forgets every pending message.
  void Clear() { mFront = mBack = 0; }

  // End of a processing step: pending messages move nFrames closer.
  void Flush(int nFrames);

  // Fits growth step and capacity to a host block size; never drops pending messages.
  void Resize(int blockSize);

  int GetSize() const { return mSize; }
  int GetGrow() const { return mGrow; }

private:
  bool Expand();
  void Compact();
  static int Granulize(int n);

  IMidiMsg* mBuf = nullptr;
  int mSize = 0;
  int mGrow = kInitialGrow;
  int mFront = 0;
  int mBack = 0;
};
