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

TEST(PopupMenu, ItemsGoWhereTheyAreAskedAndKeepTheirFlags)
{
  IPopupMenu menu;
  menu.AddItem("b", 0);
  menu.AddItem("a", 0);
  menu.AddSeparator(2);
  IPopupMenu sub;
  IPopupMenuItem* opener = menu.AddItem("More", &sub);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"a", "b", "", "More"}));
  EXPECT_TRUE(menu.GetItem(2)->GetIsSeparator());
  EXPECT_EQ(opener->GetSubmenu(), &sub);
  EXPECT_EQ(menu.GetItem(4), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);

  // Checking and enabling keep the other flags.
  menu.AddItem("c", -1, IPopupMenuItem::kDisabled);
  menu.GetItem(4)->SetChecked(true);
  EXPECT_TRUE(menu.IsItemChecked(4));
  EXPECT_FALSE(menu.GetItem(4)->GetEnabled());
  EXPECT_FALSE(menu.IsItemChecked(7));
  menu.GetItem(4)->SetEnabled(true);
  EXPECT_EQ(menu.GetItem(4)->GetFlags(), IPopupMenuItem::kChecked);
}

} // namespace
