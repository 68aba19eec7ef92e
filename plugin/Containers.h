#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

// A list of pointers. An owning list deletes its items when they are cleared
// or when the list dies; a non-owning list only forgets them.
template <class T> class PtrList
{
public:
  explicit PtrList(bool ownsItems = false) : mOwnsItems(ownsItems) {}
  ~PtrList() { Clear(); }

  PtrList(const PtrList&) = delete;
  PtrList& operator=(const PtrList&) = delete;

  bool OwnsItems() const { return mOwnsItems; }
  int GetSize() const { return static_cast<int>(mItems.size()); }
  bool IsEmpty() const { return mItems.empty(); }

  // Null outside 0 ... size - 1.
  T* Get(int idx) const { return idx >= 0 && idx < GetSize() ? mItems[idx] : nullptr; }
  T* GetLast() const { return mItems.empty() ? nullptr : mItems.back(); }

  T* Add(T* item)
  {
    mItems.push_back(item);
    return item;
  }

  // idx is clamped to 0 ... size, so an index past the end appends.
  T* Insert(int idx, T* item)
  {
    idx = std::clamp(idx, 0, GetSize());
    mItems.insert(mItems.begin() + idx, item);
    return item;
  }

  // Takes the item out without deleting it; null for an index out of range.
  T* Remove(int idx)
  {
    if (idx < 0 || idx >= GetSize()) return nullptr;
    T* item = mItems[idx];
    mItems.erase(mItems.begin() + idx);
    return item;
  }

  // Takes the item out and deletes it, whether or not the list owns its items.
  void Delete(int idx) { delete Remove(idx); }

  int Find(const T* item) const
  {
    auto it = std::find(mItems.begin(), mItems.end(), item);
    return it == mItems.end() ? -1 : static_cast<int>(it - mItems.begin());
  }

  // Forgets every item, deleting them if the list owns them.
  void Clear()
  {
    if (mOwnsItems) {
      for (T* item : mItems) delete item;
    }
    mItems.clear();
  }

  void Reserve(int n) { mItems.reserve(n > 0 ? n : 0); }

  auto begin() const { return mItems.begin(); }
  auto end() const { return mItems.end(); }

private:
  std::vector<T*> mItems;
  bool mOwnsItems;
};

// A recursive lock: the thread that holds it may take it again.
// Satisfies Lockable, so std::lock_guard and std::scoped_lock work as well.
class Mutex
{
public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Enter() { mMutex.lock(); }
  void Leave() { mMutex.unlock(); }
  bool TryEnter() { return mMutex.try_lock(); }

  void lock() { mMutex.lock(); }
  void unlock() { mMutex.unlock(); }
  bool try_lock() { return mMutex.try_lock(); }

  // Holds the lock for the lifetime of the scope.
  class Lock
  {
  public:
    explicit Lock(Mutex& mutex) : mMutex(mutex) { mMutex.Enter(); }
    explicit Lock(Mutex* mutex) : Lock(*mutex) {}
    ~Lock() { mMutex.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    Mutex& mMutex;
  };

private:
  std::recursive_mutex mMutex;
};

using MutexLock = Mutex::Lock;
