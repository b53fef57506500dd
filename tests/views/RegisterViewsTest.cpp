// The views library as the program installs it: every factory it registers makes the view
// of its own page and registers that view there, so the window finds each view where it
// looks for it.
#include <memory>

#include <QWidget>
#include <gtest/gtest.h>

#include "app/MainFormUnit.h"
#include "app/ViewRegistryUnit.h"
#include "views/ViewsUnit.h"

TEST(RegisterViews, EachFactoryRegistersTheViewOfItsOwnPage) {
  ResetMainFormRegistries();
  RegisterViews();
  for (int page = 0; page < kPageCount; ++page) {
    const TViewFactory& factory = ViewFactoryOf(page);
    if (!factory) continue;
    auto sheet = std::make_unique<QWidget>();
    factory(sheet.get());
    IView* view = ViewOf(page);
    EXPECT_NE(view, nullptr) << "page " << page;
    EXPECT_EQ(PageOfView(view), page);
    for (int other = 0; other < kPageCount; ++other) {
      if (other == page) continue;
      EXPECT_NE(ViewOf(other), view) << "page " << page << " on " << other;
    }
    sheet.reset();  // the view goes with its page
    EXPECT_EQ(ViewOf(page), nullptr) << "page " << page << " left its view registered";
  }
  ResetMainFormRegistries();
}
