#pragma once

// A fixed-size single-producer single-consumer ring: one MIDI input thread
// pushes, the audio thread peeks and pops. Neither side ever blocks or
// allocates; a full ring refuses the new element.

#include <array>
#include <atomic>
#include <cstddef>

template <typename T, size_t N> class SpscQueue
{
  static_assert(N >= 2 && (N & (N - 1)) == 0, "capacity must be a power of two");

public:
  bool Push(const T& value)
  {
    const size_t head = mHead.load(std::memory_order_relaxed);
    if (head - mTail.load(std::memory_order_acquire) == N) return false;
    mItems[head & (N - 1)] = value;
    mHead.store(head + 1, std::memory_order_release);
    return true;
  }
  // Null when empty; valid until Pop.
  const T* Peek() const
  {
    const size_t tail = mTail.load(std::memory_order_relaxed);
    if (tail == mHead.load(std::memory_order_acquire)) return nullptr;
    return &mItems[tail & (N - 1)];
  }
  void Pop() { mTail.store(mTail.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

private:
  std::array<T, N> mItems{};
  alignas(64) std::atomic<size_t> mHead{0};
  alignas(64) std::atomic<size_t> mTail{0};
};
