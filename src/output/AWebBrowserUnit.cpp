#include "output/AWebBrowserUnit.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringDecoder>
#include <QUrl>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

namespace {

TInternetLinkHandler& InternetLinkHandler() {
  static TInternetLinkHandler handler;
  return handler;
}

void HandInternetLink(const std::string& address) {
  if (const TInternetLinkHandler& handler = InternetLinkHandler())
    handler(address);
  else
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(address)));
}

bool IsInternetScheme(const QString& scheme) {
  return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
         scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ||
         scheme.compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0;
}

bool IsLocalPage(const QUrl& url) {
  return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile();
}

// The scheme of an address as typed ("http" of "http://..."): letters, digits, "+", "-",
// "." after a letter, then ":". A single letter is a drive, not a scheme.
QString SchemeOf(const QString& address) {
  const qsizetype colon = address.indexOf(QLatin1Char(':'));
  if (colon < 2 || !address[0].isLetter()) return {};
  for (qsizetype i = 1; i < colon; ++i) {
    const QChar c = address[i];
    if (!(c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-') ||
          c == QLatin1Char('.')))
      return {};
  }
  return address.left(colon);
}

// "file:" + path as the program builds it ("file:///" + an absolute path gives four
// slashes, and the path is not percent-encoded); a proper file URL is taken as well.
QUrl LocalFileUrl(const QString& address) {
  QString path = address.mid(5);
  if (path.startsWith(QLatin1Char('/'))) {
    while (path.startsWith(QLatin1String("//"))) path.remove(0, 1);
    if (QFileInfo(path).isFile()) return QUrl::fromLocalFile(path);
  }
  const QUrl url(address);
  return url.isLocalFile() ? url : QUrl();
}

// Help pages were written for a browser that takes undeclared and Latin-1 pages as
// Windows-1252; Qt alone would read them as UTF-8 and show umlauts as replacement marks.
QString DecodePage(const QByteArray& bytes) {
  QStringDecoder declared = QStringDecoder::decoderForHtml(bytes);
  if (declared.isValid()) {
    const QString name = QString::fromLatin1(declared.name());
    if (name.startsWith(QLatin1String("UTF-16"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("UTF-32"), Qt::CaseInsensitive))
      return declared(bytes);
    if (name.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0) {
      QString text = declared(bytes);
      if (!declared.hasError()) return text;
    } else if (name.compare(QLatin1String("ISO-8859-1"), Qt::CaseInsensitive) != 0 &&
               name.compare(QLatin1String("windows-1252"), Qt::CaseInsensitive) != 0) {
      return declared(bytes);
    }
  }
  return ToQString(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

TInternetLinkHandler SetInternetLinkHandler(TInternetLinkHandler handler) {
  TInternetLinkHandler previous = std::move(InternetLinkHandler());
  InternetLinkHandler() = std::move(handler);
  return previous;
}

TAWebBrowser::TAWebBrowser(QWidget* parent) : QTextBrowser(parent) {
  setOpenExternalLinks(false);  // every link goes through doSetSource
  setOpenLinks(true);
}

bool TAWebBrowser::Navigiere(const std::string& address) {
  const QString text = ToQString(address).trimmed();
  if (text.isEmpty()) return false;
  const QString scheme = SchemeOf(text);
  QUrl url;
  if (scheme.compare(QLatin1String("file"), Qt::CaseInsensitive) == 0) {
    url = LocalFileUrl(text);
  } else if (IsInternetScheme(scheme)) {
    HandInternetLink(QUrl(text).toString(QUrl::FullyEncoded).toStdString());
    return false;
  } else if (scheme.isEmpty()) {
    url = QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
  }
  if (!IsLocalPage(url)) return false;
  setSource(url);
  return source() == url;
}

bool TAWebBrowser::PrintWebBrowser() {
  if (!HasDocument()) return false;
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (ExecModal(dialog) != QDialog::Accepted) return false;
  document()->print(&printer);
  return printer.printerState() != QPrinter::Error;
}

bool TAWebBrowser::HasDocument() const { return !source().isEmpty(); }

void TAWebBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  // Links clicked in the page, history steps and reloads all come here.
  const QUrl url = name.isRelative() && !source().isEmpty() ? source().resolved(name) : name;
  if (IsInternetScheme(url.scheme())) {
    HandInternetLink(url.toString(QUrl::FullyEncoded).toStdString());
    return;
  }
  if (!IsLocalPage(url)) return;
  QTextBrowser::doSetSource(url, type);
}

QVariant TAWebBrowser::loadResource(int type, const QUrl& name) {
  // Relative names are resolved against the page's own file; pages never reach the network.
  if (!name.scheme().isEmpty() && !name.isLocalFile()) return {};
  QVariant data = QTextBrowser::loadResource(type, name);
  if (type == QTextDocument::HtmlResource && data.userType() == QMetaType::QByteArray)
    return DecodePage(data.toByteArray());
  return data;
}
