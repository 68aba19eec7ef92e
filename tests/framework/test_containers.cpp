#include "Containers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Counted
{
  explicit Counted(int* alive) : mAlive(alive) { ++*mAlive; }
  ~Counted() { --*mAlive; }
  int* mAlive;
};

TEST(PtrList, OwningListDeletesWhatItHoldsAndRemoveHandsItBack)
{
  int alive = 0;
  Counted* kept = nullptr;
  {
    PtrList<Counted> list(true);
    for (int i = 0; i < 3; ++i) list.Add(new Counted(&alive));
    kept = list.Remove(1);
    EXPECT_EQ(list.GetSize(), 2);
    list.Delete(0);
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(list.Get(5), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Remove(7), nullptr);
  }
  EXPECT_EQ(alive, 1); // the list died with its last item; the removed one lives on
  delete kept;

  Counted outside(&alive);
  {
    PtrList<Counted> borrowed;
    borrowed.Add(&outside);
    borrowed.Clear();
  }
  EXPECT_EQ(alive, 1);
}

TEST(Mutex, IsRecursiveForItsHolderAndExclusiveForOthers)
{
  Mutex mutex;
  MutexLock outer(mutex);
  {
    MutexLock inner(mutex); // would deadlock if the lock were not recursive
    std::atomic<bool> otherGotIt{true};
    std::thread other([&] {
      otherGotIt = mutex.TryEnter();
      if (otherGotIt) mutex.Leave();
    });
    other.join();
    EXPECT_FALSE(otherGotIt);
  }
}

} // namespace
