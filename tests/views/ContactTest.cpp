// The info dialog: the program date, the links through the glue's opener, the copies.
#include "views/ContactUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>

#include "ViewsTestSupport.h"
#include "app/GlueStateUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

TEST_F(TViewsTest, TheInfoDialogShowsTheDateOpensTheLinksAndCopies) {
  std::vector<std::string> opened;
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened.push_back(target);
    return true;
  };
  WinGlue().Sleeper = [](int) {};
  QueueDialogDriver([](QDialog& dialog) {
    auto& form = static_cast<TContactForm&>(dialog);
    EXPECT_EQ(FromQString(form.DateLabel->text()), "Programm Stand: 04/2008");
    form.wwwLabel->click();
    form.MailLabel->click();
    form.copyMail1->trigger();
    EXPECT_EQ(FromQString(QApplication::clipboard()->text()), "info@tessaro.example");
    form.copyAddress->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), form.AddressLabel->text());
    form.OkBtn->click();
  });
  ShowContactInfo();
  EXPECT_EQ(opened, (std::vector<std::string>{"https://www.tessaro.example/",
                                              "mailto:info@tessaro.example"}));
}
