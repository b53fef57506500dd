#include "output/WordDocumentUnit.h"

#include <unistd.h>

#include <map>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/QtGlue.h"
#include "output/CsvOrExcelUnit.h"
#include "output/PrinterServicesUnit.h"
#include "output/RtfEditorUnit.h"
#include "output/RtfTextUnit.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

const TMLStringList* WordDocumentTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("WordDocumentUnit", 0);
    t->Add255Obj("Die Word-Vorlage wird gelesen, bitte warten ...", 1);
    return t;
  }();
  return table;
}

namespace {

constexpr int kConversionTimeoutMs = 120 * 1000;

bool FileThere(const std::string& name) {
  TPfInfo info;
  return !name.empty() && PfStat(name, info) == 0 && info.kind == TPfKind::File;
}

std::string ExtensionOf(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return AnsiLowerCase(fileName.substr(dot)).substr(0, 7);
}

QString QtPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(PfOsPath(path)));
}

// Values are text: line ends become paragraph ends, nothing else is interpreted.
QString ValueText(const std::string& value) {
  QString v = ToQString(value);
  v.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  v.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return v;
}

// The format the text at the start of a found placeholder has.
QTextCharFormat FormatAt(QTextDocument& doc, int start) {
  QTextCursor c(&doc);
  c.setPosition(start + 1);
  return c.charFormat();
}

// ---- LibreOffice Writer

struct TWriterState {
  std::optional<std::string> program;  // looked up (or set by a test)
  std::string runFolder;               // profile and conversions of this run
  int folders = 0;
  int conversions = 0;
  struct TConverted {
    TPfFileStamp stamp;
    std::string rtf;
  };
  std::map<std::string, TConverted> converted;  // template -> its RTF, for the run

  ~TWriterState() {
    if (!runFolder.empty()) DeleteFolderTree(runFolder);
  }
};

TWriterState& Writer() {
  static TWriterState state;
  return state;
}

std::string RunFolder() {
  TWriterState& w = Writer();
  if (w.runFolder.empty()) {
    const std::string folder =
        PfTempFolder() + "/~tessaro-writer-" + std::to_string(static_cast<long>(getpid())) + "/";
    if (PfMakeFolders(folder) != 0) return "";
    w.runFolder = folder;
  }
  return w.runFolder;
}

// A small window with the wait text while the conversion runs.
class TWaitText {
 public:
  TWaitText() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    label_ = new QLabel(ToQString(GetMLText(WordDocumentTexts(), 1)));
    label_->setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint);
    label_->setMargin(16);
    label_->setFrameStyle(QFrame::Box);
    label_->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitText() {
    if (!label_) return;
    QApplication::restoreOverrideCursor();
    delete label_;
  }
  TWaitText(const TWaitText&) = delete;
  TWaitText& operator=(const TWaitText&) = delete;

 private:
  QLabel* label_ = nullptr;
};

// The template converted into an RTF file of this run; converted again only when the
// template changed. The template is copied first, so LibreOffice never sees (or locks)
// the user's file, and whatever its name, ours is plain ASCII.
bool ConvertedTemplate(const std::string& source, std::string& rtf) {
  TWriterState& w = Writer();
  TPfFileStamp stamp;
  if (PfFileStamp(source, stamp) != 0 || !stamp.exists) return false;
  const auto known = w.converted.find(source);
  if (known != w.converted.end() && known->second.stamp == stamp && FileThere(known->second.rtf)) {
    rtf = known->second.rtf;
    return true;
  }
  const std::string program = WordProcessorProgram();
  const std::string run = RunFolder();
  if (program.empty() || run.empty()) return false;
  const std::string work = run + "doc" + std::to_string(++w.folders) + "/";
  if (PfMakeFolders(work) != 0) return false;
  const std::string input = work + "template" + ExtensionOf(source);
  if (!CopyFileReplacing(source, input)) return false;

  QProcess process;
  process.setProgram(QtPath(program));
  process.setArguments(
      {QStringLiteral("-env:UserInstallation=") +
           QUrl::fromLocalFile(QtPath(run + "profile")).toString(QUrl::FullyEncoded),
       QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--nologo"),
       QStringLiteral("--nolockcheck"), QStringLiteral("--convert-to"), QStringLiteral("rtf"),
       QStringLiteral("--outdir"), QtPath(work + "out"), QtPath(input)});
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.setWorkingDirectory(QtPath(work));
  {
    TWaitText wait;
    process.start();
    if (!process.waitForStarted(30000)) return false;
    QElapsedTimer timer;
    timer.start();
    while (!process.waitForFinished(100)) {
      if (process.state() == QProcess::NotRunning) break;
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      if (timer.elapsed() > kConversionTimeoutMs) {
        process.kill();
        process.waitForFinished(5000);
        return false;
      }
    }
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return false;
  const std::string output = work + "out/template.rtf";
  if (!FileThere(output)) return false;
  ++w.conversions;
  w.converted[source] = {stamp, output};
  rtf = output;
  return true;
}

}  // namespace

std::string WordProcessorProgram() {
  TWriterState& w = Writer();
  if (!w.program) {
    // The office program the spreadsheet side looks up once per run, when its Writer part
    // lies beside it.
    std::string found;
    const std::string soffice = OfficeProgram();
    std::string real;
    if (!soffice.empty() && PfRealPath(soffice, real) != 0) real = soffice;
    if (!real.empty() && FileThere(real.substr(0, real.rfind('/') + 1) + "libswlo.so")) found = soffice;
    w.program = found;
  }
  return *w.program;
}

void SetWordProcessorProgram(const std::string& program, bool reset) {
  if (reset)
    Writer().program.reset();
  else
    Writer().program = program;
}

int WordConversionCount() { return Writer().conversions; }

// =======================================================================================
// TRTFDoc

TRTFDoc::TRTFDoc() = default;

TRTFDoc::~TRTFDoc() { TRTFDoc::Close(false); }

bool TRTFDoc::Open(const std::string& fileName) {
  Close(false);
  if (!fileName.empty() && !FileThere(fileName)) return false;
  return Load(fileName, fileName);
}

bool TRTFDoc::Load(const std::string& file, const std::string& fileName) {
  auto doc = std::make_unique<QTextDocument>();
  doc->setUndoRedoEnabled(false);
  plainText_ = false;
  if (!file.empty()) {
    std::string bytes;
    TPfInfo info;
    if (PfStat(file, info) != 0) return false;
    if (info.size > 0 && !ReadFileToString(file, bytes)) return false;
    plainText_ = ExtensionOf(file) == ".txt";
    if (plainText_)
      LoadPlainTextIntoDocument(*doc, bytes);
    else if (!LoadRtfIntoDocument(*doc, bytes))
      return false;
  }
  doc->setModified(false);
  doc_ = std::move(doc);
  selStart_ = selEnd_ = -1;
  opened_ = true;
  fileName_ = fileName;
  return true;
}

void TRTFDoc::Close(bool save) {
  if (save && opened_ && writable_ && doc_ && !fileName_.empty()) {
    const std::string bytes = plainText_ ? DocumentToPlainText(*doc_) : DocumentToRtf(*doc_);
    SaveTextFile(SplitTextLines(bytes), fileName_);
  }
  doc_.reset();
  opened_ = false;
  selStart_ = selEnd_ = -1;
}

bool TRTFDoc::FindText(const std::string& text) {
  if (!opened_ || !doc_ || text.empty()) return false;
  const QTextCursor found = doc_->find(ToQString(text), 0);
  if (found.isNull()) return false;
  selStart_ = found.selectionStart();
  selEnd_ = found.selectionEnd();
  return true;
}

bool TRTFDoc::ReplaceText(const std::string& placeholder, const std::string& value) {
  if (!opened_ || !doc_ || placeholder.empty()) return false;
  const QString p = ToQString(placeholder);
  const QString v = ValueText(value);
  bool replaced = false;
  int from = 0;
  for (;;) {
    QTextCursor c = doc_->find(p, from);
    if (c.isNull()) break;
    const QTextCharFormat format = FormatAt(*doc_, c.selectionStart());
    c.insertText(v, format);
    replaced = true;
    // On behind the value: a value holding the placeholder is not searched again.
    from = c.position();
  }
  return replaced;
}

bool TRTFDoc::ReplaceLines(const std::string& placeholder, const std::string& lines) {
  if (!FindText(placeholder)) return false;
  QTextCursor c(doc_.get());
  c.setPosition(selStart_);
  const QTextCharFormat format = FormatAt(*doc_, selStart_);
  c.setPosition(selEnd_, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  const std::vector<std::string> parts = SplitTextLines(lines);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) c.insertBlock();
    c.insertText(ToQString(parts[i]), format);
  }
  return true;
}

int TRTFDoc::ReplaceAll(const std::vector<TTextReplacement>& replacements) {
  if (!opened_ || !doc_) return 0;
  const std::size_t n = replacements.size();
  std::vector<QString> patterns(n);
  std::vector<bool> done(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    patterns[i] = ToQString(replacements[i].placeholder);
    done[i] = patterns[i].isEmpty();
  }
  int from = 0;
  int count = 0;
  for (;;) {
    // The text from `from` on is the template's own, so a placeholder not found there now
    // is never found later.
    std::size_t best = n;
    QTextCursor found;
    for (std::size_t i = 0; i < n; ++i) {
      if (done[i]) continue;
      QTextCursor c = doc_->find(patterns[i], from);
      if (c.isNull()) {
        done[i] = true;
        continue;
      }
      if (best == n || c.selectionStart() < found.selectionStart()) {
        best = i;
        found = c;
      }
    }
    if (best == n) break;
    const TTextReplacement& r = replacements[best];
    const QTextCharFormat format = FormatAt(*doc_, found.selectionStart());
    if (r.lines) {
      found.removeSelectedText();
      const std::vector<std::string> parts = SplitTextLines(r.value);
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) found.insertBlock();
        found.insertText(ToQString(parts[i]), format);
      }
      done[best] = true;
    } else {
      found.insertText(ValueText(r.value), format);
    }
    from = found.position();
    ++count;
  }
  return count;
}

bool TRTFDoc::Print(bool preview, const std::string& printerName) {
  if (!opened_ || !doc_) return false;
  const std::string title = MLTranslate("Ausdruck");
  if (preview) {
    EditRtfFile(title, DocumentToRtf(*doc_));
    return true;
  }
  return PrintRichText(*doc_, title, PrinterExists(printerName) ? printerName : std::string());
}

// =======================================================================================
// TWordDoc

TWordDoc::~TWordDoc() { TWordDoc::Close(false); }

bool TWordDoc::Open(const std::string& fileName) {
  Close(false);
  writable_ = false;
  if (fileName.empty()) return Load("", "");
  std::string rtf;
  // The word processor reads any bytes as text: only what is a document is converted.
  if (!FileThere(fileName) || !IsWordDocumentFile(fileName) || !ConvertedTemplate(fileName, rtf))
    return false;
  // A new document based on the template: it has the template's name and content, and
  // nowhere to be saved.
  if (!Load(rtf, fileName)) return false;
  plainText_ = false;
  return true;
}

void TWordDoc::Close(bool /*save*/) { TRTFDoc::Close(false); }

bool IsWordDocumentFile(const std::string& fileName) {
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return false;
  char head[8] = {};
  std::size_t got = 0;
  const bool read = PfReadAt(fd, head, sizeof head, 0, got) == 0;
  PfClose(fd);
  if (!read) return false;
  const std::string start(head, got);
  static const std::string kCompoundFile("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  return start == kCompoundFile || start.rfind("{\\rtf", 0) == 0 ||
         start.rfind("PK\x03\x04", 0) == 0;
}

// =======================================================================================

std::unique_ptr<TTextDoc> OpenTextDoc(const std::string& fileName) {
  if (!FileThere(fileName)) return nullptr;
  const std::string ext = ExtensionOf(fileName);
  std::unique_ptr<TTextDoc> doc;
  if (ext == ".rtf" || ext == ".txt")
    doc = std::make_unique<TRTFDoc>();
  else if (ext == ".doc" || ext == ".dot")
    doc = std::make_unique<TWordDoc>();
  else
    return nullptr;
  if (!doc->Open(fileName)) return nullptr;
  return doc;
}
