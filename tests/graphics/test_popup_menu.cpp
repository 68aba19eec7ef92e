#include "graphics_test_support.h"
#include "plugin/graphics/IPopupMenu.h"

#include <gtest/gtest.h>

using namespace zorva_test;

namespace {

std::vector<std::string> Texts(const IPopupMenu& menu)
{
  std::vector<std::string> texts;
  for (int i = 0; i < menu.GetNItems(); ++i) texts.push_back(menu.GetItemText(i));
  return texts;
}

TEST(PopupMenu, InsertPositions)
{
  IPopupMenu appended, indexed;
  for (int i = 0; i < 3; ++i) {
    const std::string text = "item " + std::to_string(i);
    appended.AddItem(text.c_str());
    indexed.AddItem(text.c_str(), i);
  }
  EXPECT_EQ(Texts(appended), Texts(indexed));

  IPopupMenu menu;
  menu.AddItem("far", 15); // past the end of an empty menu: first
  menu.AddItem("front", -5);
  menu.AddItem("between", 1);
  menu.AddSeparator();
  IPopupMenu sub;
  IPopupMenuItem* opener = menu.AddItem("More", &sub);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"front", "between", "far", "", "More"}));
  EXPECT_TRUE(menu.GetItem(3)->GetIsSeparator());
  EXPECT_EQ(opener->GetSubmenu(), &sub);
  EXPECT_EQ(menu.GetItem(5), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

TEST(PopupMenu, CheckAndEnableKeepOtherFlags)
{
  IPopupMenu menu;
  menu.AddItem("a", -1, IPopupMenuItem::kDisabled);
  menu.GetItem(0)->SetChecked(true);
  EXPECT_TRUE(menu.IsItemChecked(0));
  EXPECT_FALSE(menu.GetItem(0)->GetEnabled());
  EXPECT_FALSE(menu.IsItemChecked(7));
  menu.GetItem(0)->SetEnabled(true);
  EXPECT_EQ(menu.GetItem(0)->GetFlags(), IPopupMenuItem::kChecked);
}

} // namespace
