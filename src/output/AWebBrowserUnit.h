#pragma once
// The embedded web view of help pages, start pages and transfer documents. It shows local
// files only: internet addresses (http, https, mailto), typed or clicked, are never loaded
// inside but handed to the internet-link handler, and a page never fetches anything from
// the network.

#include <functional>
#include <string>

#include <QTextBrowser>

// Receives an internet address as ASCII text (percent-encoded where needed).
using TInternetLinkHandler = std::function<void(const std::string& address)>;

// Installs the program-wide handler of internet links and returns the previous one; an
// empty handler restores the default, which opens the address in the system browser.
TInternetLinkHandler SetInternetLinkHandler(TInternetLinkHandler handler);

class TAWebBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit TAWebBrowser(QWidget* parent = nullptr);

  // Shows a local page: a "file:" address ("file:///" + path, as the help and transfer
  // pages are addressed) or a file name. An internet address goes to the handler. True
  // when the page is now shown; a missing file or another kind of address changes nothing.
  bool Navigiere(const std::string& address);

  // Prints the shown page after the print dialog; nothing happens while no page is shown.
  // True when the page went to the printer.
  bool PrintWebBrowser();

  bool HasDocument() const;

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
  QVariant loadResource(int type, const QUrl& name) override;
};
