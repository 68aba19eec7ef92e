#include "IPopupMenu.h"

#include <cstdio>

IPopupMenuItem::IPopupMenuItem(const char* text, int flags) : mText(text ? text : ""), mFlags(flags) {}

IPopupMenuItem::IPopupMenuItem(const char* text, IPopupMenu* submenu)
    : mText(text ? text : ""), mSubmenu(submenu)
{
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index)
{
  if (!item) return nullptr;
  if (index == -1) return mItems.Add(item);
  // PtrList::Insert clamps to 0 ... count: a negative index inserts first.
  return mItems.Insert(index, item);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int itemFlags)
{
  return AddItem(new IPopupMenuItem(text, itemFlags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu)
{
  return AddItem(new IPopupMenuItem(text, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu)
{
  return AddItem(text, -1, submenu);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index)
{
  return AddItem("", index, IPopupMenuItem::kSeparator);
}

const char* IPopupMenu::GetItemText(int index) const
{
  const IPopupMenuItem* item = GetItem(index);
  return item ? item->GetText() : "";
}

std::string IPopupMenu::GetItemLabel(int index) const
{
  const IPopupMenuItem* item = GetItem(index);
  if (!item) return {};
  if (mPrefix == 0 || item->GetIsSeparator() || item->GetSubmenu()) return item->GetText();
  static const char* const kFormats[] = {"%1d: ", "%02d: ", "%03d: "};
  char number[16];
  std::snprintf(number, sizeof(number), kFormats[mPrefix - 1], index + 1);
  return std::string(number) + item->GetText();
}

void IPopupMenu::SetPrefix(int prefix)
{
  if (prefix >= 0 && prefix <= kMaxPrefix) mPrefix = prefix;
}

bool IPopupMenu::CheckItem(int index, bool state)
{
  IPopupMenuItem* item = GetItem(index);
  if (!item) return false;
  item->SetChecked(state);
  return true;
}

void IPopupMenu::CheckItemAlone(int index)
{
  for (int i = 0; i < GetNItems(); ++i) GetItem(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
  const IPopupMenuItem* item = GetItem(index);
  return item && item->GetChecked();
}
