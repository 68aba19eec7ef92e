#include "graphics_test_support.h"
#include "plugin/graphics/IControls.h"
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

TEST(PopupMenu, ChecksKeepOtherFlags)
{
  IPopupMenu menu;
  menu.AddItem("a", -1, IPopupMenuItem::kDisabled);
  menu.AddItem("b");
  menu.AddItem("c");

  EXPECT_TRUE(menu.CheckItem(0, true));
  EXPECT_FALSE(menu.CheckItem(3, true));
  EXPECT_TRUE(menu.IsItemChecked(0));
  EXPECT_FALSE(menu.GetItem(0)->GetEnabled()); // checking left the disabled flag alone
  EXPECT_FALSE(menu.IsItemChecked(7));

  menu.CheckItemAlone(2);
  EXPECT_FALSE(menu.IsItemChecked(0));
  EXPECT_TRUE(menu.IsItemChecked(2));
  menu.CheckItemAlone(9);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(menu.IsItemChecked(i));

  menu.GetItem(0)->SetEnabled(true);
  EXPECT_EQ(menu.GetItem(0)->GetFlags(), IPopupMenuItem::kNoFlags);
}

class MenuPrompt : public ::testing::Test
{
protected:
  MenuPrompt()
  {
    mGfx = new IGraphicsHeadless(&mPlug, 200, 100);
    mPlug.AttachGraphics(mGfx);
    mGfx->OpenWindow(nullptr);
  }

  TestPlug mPlug;
  IGraphicsHeadless* mGfx; // owned by mPlug
};

TEST_F(MenuPrompt, ListParametersOfferTheirTextsWithTheCurrentOneChecked)
{
  mPlug.GetParam(kMode)->Set(1);
  auto* caption = new ICaptionControl(&mPlug, IRECT(10, 10, 60, 30), kMode, IText());
  mGfx->AttachControl(caption);
  mGfx->SetParameterFromPlug(kMode, 1, false);

  mGfx->QueueMenuChoice("High");
  mGfx->OnMouseDown(20, 20, IMouseMod(true));
  const auto* q = mGfx->LastQuestion();
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->mKind, IGraphicsHeadless::Question::kPopupMenu);
  EXPECT_EQ(q->mItems, (std::vector<std::string>{"Low", "Mid [x]", "High"}));
  EXPECT_EQ(q->mRect, IRECT(10, 10, 60, 30));
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  EXPECT_EQ(mPlug.mInformed.back(), std::make_pair(int(kMode), 1.0));

  // Dismissed, or a choice of a disabled entry: nothing changes.
  const size_t informed = mPlug.mInformed.size();
  mGfx->OnMouseDown(20, 20, IMouseMod(false, true));
  mGfx->QueueMenuChoice("Nonsense");
  mGfx->OnMouseDown(20, 20, IMouseMod(true));
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  EXPECT_EQ(mPlug.mInformed.size(), informed);
  EXPECT_EQ(mGfx->NPendingAnswers(), 0);
}

} // namespace
