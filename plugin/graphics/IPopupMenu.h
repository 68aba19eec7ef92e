#pragma once

#include "Containers.h"

#include <string>

class IPopupMenu;

// One entry of a popup menu: a text, flags and optionally a submenu (linked, not owned).
class IPopupMenuItem
{
public:
  enum Flags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  explicit IPopupMenuItem(const char* text, int flags = kNoFlags);
  IPopupMenuItem(const char* text, IPopupMenu* submenu);

  const char* GetText() const { return mText.c_str(); }
  void SetText(const char* text) { mText = text ? text : ""; }
  int GetFlags() const { return mFlags; }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }
  void SetSubmenu(IPopupMenu* submenu) { mSubmenu = submenu; }

  bool GetEnabled() const { return !(mFlags & kDisabled); }
  bool GetChecked() const { return mFlags & kChecked; }
  bool GetIsTitle() const { return mFlags & kTitle; }
  bool GetIsSeparator() const { return mFlags & kSeparator; }

  // Each setter changes its own flag and keeps the others.
  void SetEnabled(bool state) { SetFlag(kDisabled, !state); }
  void SetChecked(bool state) { SetFlag(kChecked, state); }
  void SetTitle(bool state) { SetFlag(kTitle, state); }

private:
  void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

  std::string mText;
  IPopupMenu* mSubmenu = nullptr;
  int mFlags = kNoFlags;
};

// The model of a popup menu. The platform shows it (IGraphics::CreateIPopupMenu) and
// returns the menu, or submenu, in which the user chose, with its chosen index set.
// A menu owns its items; the code that builds it keeps its submenus alive.
class IPopupMenu
{
public:
  static constexpr int kMaxPrefix = 3;

  IPopupMenu() = default;
  ~IPopupMenu() = default;
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // index -1 appends; any other index inserts at min(index, count), a negative one
  // at 0. The menu takes ownership of item.
  IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
  IPopupMenuItem* AddItem(const char* text, int index = -1, int itemFlags = IPopupMenuItem::kNoFlags);
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
  IPopupMenuItem* AddSeparator(int index = -1);

  int GetNItems() const { return mItems.GetSize(); }
  // Null outside 0 ... count - 1.
  IPopupMenuItem* GetItem(int index) const { return mItems.Get(index); }
  // The caller passes a valid index; an invalid one reads as "".
  const char* GetItemText(int index) const;
  // What the platform shows for the item: its text, numbered when a prefix is set.
  std::string GetItemLabel(int index) const;

  // 0 (no numbers), or 1 ... 3 digits of 1-based item numbers; other values are ignored.
  void SetPrefix(int prefix);
  int GetPrefix() const { return mPrefix; }

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }

  // False for an index outside the list.
  bool CheckItem(int index, bool state);
  // Unchecks every item but the one at index (all of them when index is invalid).
  void CheckItemAlone(int index);
  bool IsItemChecked(int index) const;

  bool GetCanMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool multicheck) { mCanMultiCheck = multicheck; }

private:
  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck = false;
  PtrList<IPopupMenuItem> mItems{true};
};
