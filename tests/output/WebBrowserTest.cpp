#include <string>
#include <vector>

#include <QDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QTest>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "output/AWebBrowserUnit.h"
#include "support/TestSupport.h"

namespace {

class WebBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetInternetLinkHandler([this](const std::string& a) { handed.push_back(a); });
    WriteAllBytes(tmp.File("index.html"),
                  "<html><head><title>Hilfe</title></head><body><h1>Schl\xFCssel" "\xFC"
                  "bergabe</h1><p><a href=\"key.html\">Schl\xFCssel</a> "
                  "<a href=\"https://example.org/\">Web</a></p></body></html>");
    WriteAllBytes(tmp.File("key.html"),
                  "<html><head><meta charset=\"utf-8\"></head><body>Schl\xC3\xBCsselseite</body></html>");
  }
  void TearDown() override { SetInternetLinkHandler(std::move(previous_)); }

  std::string Text() const { return browser.toPlainText().toStdString(); }

  TTempDir tmp;
  TAWebBrowser browser;
  std::vector<std::string> handed;

 private:
  TInternetLinkHandler previous_;
};

// The help and transfer pages are addressed as "file:///" + an absolute path; a plain file
// name works as well. The page is read as Windows-1252 unless it declares otherwise.
TEST_F(WebBrowserTest, NavigiereLoadsALocalPage) {
  for (const std::string& address : {"file:///" + tmp.File("index.html"), tmp.File("index.html")}) {
    browser.clear();
    browser.setSource(QUrl());
    ASSERT_TRUE(browser.Navigiere(address)) << address;
    EXPECT_TRUE(browser.HasDocument());
    EXPECT_EQ(browser.source(), QUrl::fromLocalFile(QString::fromStdString(tmp.File("index.html"))));
    EXPECT_NE(Text().find("Schl\xC3\xBCssel\xC3\xBC" "bergabe"), std::string::npos) << Text();
  }
  // A link inside the page to another local page (this one UTF-8) is followed.
  browser.show();
  QTest::keyClick(&browser, Qt::Key_Tab);
  QTest::keyClick(&browser, Qt::Key_Return);
  EXPECT_NE(Text().find("Schl\xC3\xBCsselseite"), std::string::npos) << Text();
  EXPECT_TRUE(handed.empty());
}

TEST_F(WebBrowserTest, MissingPageOrForeignAddressChangesNothing) {
  ASSERT_TRUE(browser.Navigiere(tmp.File("index.html")));
  const QUrl shown = browser.source();
  for (const std::string& address :
       {tmp.File("absent.html"), "file:///" + tmp.File("absent.html"), tmp.Dir(), std::string(),
        std::string("ftp://example.org/page.html"), std::string("javascript:alert(1)")}) {
    EXPECT_FALSE(browser.Navigiere(address)) << address;
    EXPECT_EQ(browser.source(), shown) << address;
  }
  browser.setSource(QUrl(QStringLiteral("absent.html")));  // a dead link in the page
  EXPECT_EQ(browser.source(), shown);
  EXPECT_NE(Text().find("bergabe"), std::string::npos);
  EXPECT_TRUE(handed.empty());
}

// Internet links, typed or clicked, go to the handler and are never loaded inside.
TEST_F(WebBrowserTest, InternetLinksAreHandedOnNotLoaded) {
  EXPECT_FALSE(browser.Navigiere("http://example.org/help.html"));
  EXPECT_FALSE(browser.HasDocument());
  ASSERT_TRUE(browser.Navigiere(tmp.File("index.html")));
  const QUrl shown = browser.source();
  browser.show();  // a click on the page's second link, by keyboard
  QTest::keyClick(&browser, Qt::Key_Tab);
  QTest::keyClick(&browser, Qt::Key_Tab);
  QTest::keyClick(&browser, Qt::Key_Return);
  EXPECT_FALSE(browser.Navigiere("MAILTO:info@example.org"));
  EXPECT_EQ(browser.source(), shown);
  EXPECT_NE(Text().find("bergabe"), std::string::npos);
  EXPECT_EQ(handed, (std::vector<std::string>{"http://example.org/help.html", "https://example.org/",
                                              "mailto:info@example.org"}));
}

TEST_F(WebBrowserTest, PrintWithoutDocumentDoesNothing) {
  const int undriven = UndrivenDialogCount();
  EXPECT_FALSE(browser.PrintWebBrowser());
  EXPECT_FALSE(browser.Navigiere(tmp.File("absent.html")));
  EXPECT_FALSE(browser.PrintWebBrowser());
  EXPECT_EQ(UndrivenDialogCount(), undriven);  // no print dialog was opened
}

TEST_F(WebBrowserTest, PrintShowsTheDialogAndPrintsThePage) {
  ASSERT_TRUE(browser.Navigiere(tmp.File("index.html")));
  const std::string pdf = tmp.File("out.pdf");
  QueueDialogDriver([&pdf](QDialog& dialog) {
    auto* printDialog = qobject_cast<QPrintDialog*>(&dialog);
    ASSERT_NE(printDialog, nullptr);
    printDialog->printer()->setOutputFormat(QPrinter::PdfFormat);
    printDialog->printer()->setOutputFileName(QString::fromStdString(pdf));
    dialog.done(QDialog::Accepted);  // done(), unlike accept(), keeps the printer set here
  });
  EXPECT_TRUE(browser.PrintWebBrowser());
  EXPECT_EQ(ReadAllBytes(pdf).substr(0, 5), "%PDF-");

  QueueDialogDriver([](QDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(browser.PrintWebBrowser());
}

}  // namespace
