#include "output/PrintPreviewUnit.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/TempFilesUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/CsvOrExcelUnit.h"
#include "output/PrintCanvasUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"
#include "platform/PlatformFiles.h"

const TMLStringList* PrintPreviewTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("PrintPreviewUnit", 0);
    t->Add255Obj("kein Drucker verf\xFCgbar", 1);
    t->Add255Obj("Es ist kein Drucker installiert.", 2);
    return t;
  }();
  return table;
}

namespace {

// The left margin of list printouts.
constexpr double kListLeftCm = 1.5;

struct TPreviewState {
  TPreviewRenderer render;
  bool landscape = false;
  std::function<void(bool)> storeFlag;
  std::function<bool(const std::string&)> openFile;
};

TPreviewState& State() {
  static TPreviewState state;
  return state;
}

// Keeps the window painted; nothing the user does meanwhile is taken.
void ProcessEventsWithoutInput() {
  if (QCoreApplication::instance())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool OpenWithDesktop(const std::string& fileName) {
  if (const auto& opener = State().openFile) return opener(fileName);
  return QDesktopServices::openUrl(
      QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(PfOsPath(fileName)))));
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

// The doors of a key as the key list prints them: a general master key's "alle von" and
// its system; otherwise the doors it opens by their names with context (at most 40
// characters), sorted.
std::vector<std::string> DoorLines(TMiniDB& db, int32_t key) {
  std::vector<std::string> lines;
  if (const TKeySystemCode code = GeneralMasterKeySystem(db, key); code != 0) {
    lines.push_back(CoreText(19) + " " + KeySystemName(db, code));
    return lines;
  }
  TItemList doors;
  GetDoorsOfKey(db, key, doors);
  for (int32_t i = 0; i < doors.Count(); ++i)
    lines.push_back(NameWithContext(db, doors.Get(i), kBracketRound).substr(0, 40));
  std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    return AnsiCompareText(a, b) < 0;
  });
  return lines;
}

std::vector<std::string> HolderLines(TMiniDB& db, int32_t key) {
  std::vector<std::string> lines;
  for (const THolderEntry& e : LoadHolderRecs(db, key, false)) {
    std::string line = HolderRefText(db, {e.Kind, e.HolderId});
    if (StrToIntZero(e.Count) > 1) line += " (" + e.Count + " " + CoreText(55) + ")";
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::string PrintPreviewText(int number) { return GetMLText(PrintPreviewTexts(), number); }

void SetPreviewFlagStore(std::function<void(bool on)> store) { State().storeFlag = std::move(store); }

void SetPrintFileOpener(std::function<bool(const std::string&)> opener) {
  State().openFile = std::move(opener);
}

// ---------------------------------------------------------------------------------------
// Page pictures.

namespace {

// Where a row of `target` pixels takes its pixels from a row of `source` pixels: the source
// position advances by source / target per pixel; a pixel more than one past the previous
// one is averaged with its left neighbour.
struct TSourcePixel {
  int index = 0;
  bool average = false;
};
std::vector<TSourcePixel> SourceMap(int source, int target) {
  std::vector<TSourcePixel> map(static_cast<std::size_t>(target));
  const double step = static_cast<double>(source) / target;
  int previous = -1;
  for (int i = 0; i < target; ++i) {
    const int at = std::min(static_cast<int>(std::lround(i * step)), source - 1);
    map[static_cast<std::size_t>(i)] = {at, at > previous + 1 && at > 0};
    previous = at;
  }
  return map;
}

}  // namespace

QImage HalvePagePicture(const QImage& picture) {
  const QImage in = picture.convertToFormat(QImage::Format_RGB888);
  const int w = std::max(1, in.width() / 2), h = std::max(1, in.height() / 2);
  QImage out(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    const uchar* a = in.constScanLine(std::min(2 * y, in.height() - 1));
    const uchar* b = in.constScanLine(std::min(2 * y + 1, in.height() - 1));
    uchar* o = out.scanLine(y);
    for (int x = 0; x < w; ++x) {
      const int x0 = std::min(2 * x, in.width() - 1) * 3,
                x1 = std::min(2 * x + 1, in.width() - 1) * 3;
      for (int c = 0; c < 3; ++c)
        o[x * 3 + c] = static_cast<uchar>((a[x0 + c] + a[x1 + c] + b[x0 + c] + b[x1 + c]) / 4);
    }
  }
  return out;
}

QImage ResamplePagePicture(const QImage& picture, int width, int height) {
  const QImage in = picture.convertToFormat(QImage::Format_RGB888);
  width = std::clamp(width, 1, std::max(1, in.width()));
  height = std::clamp(height, 1, std::max(1, in.height()));
  const std::vector<TSourcePixel> columns = SourceMap(in.width(), width);
  const std::vector<TSourcePixel> rows = SourceMap(in.height(), height);
  QImage out(width, height, QImage::Format_RGB888);
  auto pixel = [&](const uchar* line, int x, int c) {
    const TSourcePixel& p = columns[static_cast<std::size_t>(x)];
    const int v = line[p.index * 3 + c];
    return p.average ? (v + line[(p.index - 1) * 3 + c]) / 2 : v;
  };
  for (int y = 0; y < height; ++y) {
    const TSourcePixel& r = rows[static_cast<std::size_t>(y)];
    const uchar* line = in.constScanLine(r.index);
    const uchar* above = r.average ? in.constScanLine(r.index - 1) : nullptr;
    uchar* o = out.scanLine(y);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int v = pixel(line, x, c);
        o[x * 3 + c] = static_cast<uchar>(above ? (v + pixel(above, x, c)) / 2 : v);
      }
  }
  return out;
}

QImage ShrinkPagePicture(const QImage& picture, int width, int height) {
  if (picture.width() <= width && picture.height() <= height) return picture;
  QImage page = picture.convertToFormat(QImage::Format_RGB888);
  auto scale = [&] {
    return std::min({1.0, static_cast<double>(width) / page.width(),
                     static_cast<double>(height) / page.height()});
  };
  double s = scale();
  // Whole halvings average every pixel; they go first while they are no more than needed.
  while (s <= 0.25 || s == 0.5) {
    page = HalvePagePicture(page);
    s = scale();
  }
  const int w = std::max(1, static_cast<int>(std::lround(page.width() * s)));
  const int h = std::max(1, static_cast<int>(std::lround(page.height() * s)));
  if (s < 0.5) return HalvePagePicture(ResamplePagePicture(page, 2 * w, 2 * h));
  if (s < 1.0) return ResamplePagePicture(page, w, h);
  return page;
}

// ---------------------------------------------------------------------------------------
// The window.

TPrintPreviewForm::TPrintPreviewForm(QPrinter* printer, TPreviewRenderer render, QWidget* parent)
    : QDialog(parent), render_(std::move(render)) {
  setObjectName(QStringLiteral("PrintPreviewForm"));
  setWindowTitle(ToQString(" Druckvorschau"));

  TopPanel = new QFrame(this);
  TopPanel->setObjectName(QStringLiteral("TopPanel"));
  TopPanel->setFrameShape(QFrame::StyledPanel);
  CloseBtn = new QPushButton(ToQString("Schlie\xDF" "en"), TopPanel);
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setToolTip(ToQString("Schlie\xDF" "en ohne Drucken"));
  PreviewCheckBox = new QCheckBox(ToQString("Druckvorschau anzeigen"), TopPanel);
  PreviewCheckBox->setObjectName(QStringLiteral("PreviewCheckBox"));
  PreviewCheckBox->setToolTip(ToQString("Vorschau beim n\xE4" "chsten Mal anzeigen?"));

  PrintPanel = new QFrame(TopPanel);
  PrintPanel->setObjectName(QStringLiteral("PrintPanel"));
  PrintersCombo = new QComboBox(PrintPanel);
  PrintersCombo->setObjectName(QStringLiteral("PrintersCombo"));
  PrintersCombo->setMinimumWidth(160);  // the whole bar fits a screen 800 pixels wide
  PrinterSettingsBtn = new QPushButton(ToQString("Eigenschaften"), PrintPanel);
  PrinterSettingsBtn->setObjectName(QStringLiteral("PrinterSettingsBtn"));
  Label1 = new QLabel(ToQString("Kopien"), PrintPanel);
  CopiesEd = new QLineEdit(QStringLiteral("1"), PrintPanel);
  CopiesEd->setObjectName(QStringLiteral("CopiesEd"));
  CopiesEd->setToolTip(ToQString("Anzahl der Ausdrucke"));
  CopiesEd->setMaximumWidth(40);
  PrintBtn = new QPushButton(ToQString(" &Drucken"), PrintPanel);
  PrintBtn->setObjectName(QStringLiteral("PrintBtn"));
  PrintBtn->setToolTip(ToQString("Ausdruck starten"));

  auto* print = new QHBoxLayout(PrintPanel);
  print->setContentsMargins(0, 0, 0, 0);
  print->addWidget(PrintersCombo);
  print->addWidget(PrinterSettingsBtn);
  print->addSpacing(12);
  print->addWidget(Label1);
  print->addWidget(CopiesEd);
  print->addSpacing(12);
  print->addWidget(PrintBtn);
  auto* top = new QHBoxLayout(TopPanel);
  top->addWidget(CloseBtn);
  top->addSpacing(12);
  top->addWidget(PreviewCheckBox);
  top->addStretch(1);
  top->addWidget(PrintPanel);

  // The pages as pictures on grey, one below the other; the box scrolls.
  ScrollBox = new QScrollArea(this);
  ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
  ScrollBox->setWidgetResizable(false);
  ScrollBox->setBackgroundRole(QPalette::Dark);
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("PagesPanel"));
  ScrollBox->setWidget(content);
  FootDistanceImage = new QWidget(content);
  FootDistanceImage->setObjectName(QStringLiteral("FootDistanceImage"));
  FootDistanceImage->resize(1, kPageGap);
  ScrollBox->viewport()->installEventFilter(this);
  connect(ScrollBox->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { ShowVisiblePages(); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(TopPanel);
  layout->addWidget(ScrollBox, 1);

  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PrintBtn, &QPushButton::clicked, this, [this] { PrintBtnClick(); });
  connect(PrinterSettingsBtn, &QPushButton::clicked, this, [this, printer] {
    if (!PrintersCombo->isEnabled()) return;
    const std::string name = FromQString(PrintersCombo->currentData().toString());
    // New options of the printer the pages were laid out for change the pages.
    if (ShowPrinterProperties(this, PrintersCombo->currentIndex()) &&
        PrinterServices().Device(name) == printer)
      SetPages(printer);
  });

  FillPrintersCombo(PrintersCombo, CopiesEd, PrintPreviewText(1));
  (PrinterInstalled() ? PrintBtn : CloseBtn)->setDefault(true);
  (PrinterInstalled() ? PrintBtn : CloseBtn)->setFocus();

  QSize size(1000, 800);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableGeometry().size();
    size = size.boundedTo(room * 9 / 10).expandedTo(QSize(640, 480));
  }
  resize(size);
  TranslateForm(this);
  SetPages(printer);
}

int TPrintPreviewForm::PageCount() const { return static_cast<int>(pages_.size()); }

void TPrintPreviewForm::SetPages(QPrinter* printer) {
  pages_ = render_ && printer ? render_(printer) : std::vector<QImage>();
  for (QLabel* image : PageImages) delete image;
  PageImages.clear();
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    auto* image = new QLabel(ScrollBox->widget());
    image->setObjectName(QStringLiteral("PageImage%1").arg(i + 1));
    image->setFrameShape(QFrame::NoFrame);
    SetNoTranslate(image);
    PageImages.push_back(image);
  }
  shownWidth_ = -1;
  LayoutPages();
}

void TPrintPreviewForm::LayoutPages() {
  if (layingOut_) return;
  layingOut_ = true;
  const int boxWidth = ScrollBox->viewport()->width();
  const int target = std::max(boxWidth - 40, kMinPageWidth);
  int y = kPageGap / 2;
  int widest = boxWidth;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    QLabel* image = PageImages[i];
    const QImage& page = pages_[i];
    QSize size = page.size();
    if (page.width() > target)
      // The height rounded up, so the width is what the shrinking fits.
      size = QSize(target, static_cast<int>(std::ceil(static_cast<double>(page.height()) * target /
                                                      page.width())));
    // Pictures made for another width are made again when they come into view.
    if (target != shownWidth_) image->clear();
    const int left = size.width() > boxWidth ? 0 : (boxWidth - size.width()) / 2;
    image->setGeometry(left, y, size.width(), size.height());
    image->show();
    widest = std::max(widest, size.width());
    y += size.height() + kPageGap;
  }
  shownWidth_ = target;
  FootDistanceImage->move(0, y);
  ScrollBox->widget()->resize(widest, y + FootDistanceImage->height());
  layingOut_ = false;
  ShowVisiblePages();
}

void TPrintPreviewForm::ShowVisiblePages() {
  // Only the pages in view and next to it hold a picture on screen: a list of hundreds of
  // pages keeps one copy of its pages, not two.
  const int top = ScrollBox->verticalScrollBar()->value();
  const int height = std::max(ScrollBox->viewport()->height(), 1);
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    QLabel* image = PageImages[i];
    const bool near =
        image->y() + image->height() >= top - height && image->y() <= top + 2 * height;
    if (!near) {
      if (!image->pixmap().isNull()) image->clear();
      continue;
    }
    if (!image->pixmap().isNull()) continue;
    const QImage& page = pages_[i];
    image->setPixmap(QPixmap::fromImage(
        page.width() > image->width() ? ShrinkPagePicture(page, image->width(), image->height())
                                      : page));
  }
}

void TPrintPreviewForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  LayoutPages();
}

bool TPrintPreviewForm::eventFilter(QObject* watched, QEvent* event) {
  // The box's width decides the pages' size: a new width lays them out again.
  if (watched == ScrollBox->viewport() && event->type() == QEvent::Resize) LayoutPages();
  return QDialog::eventFilter(watched, event);
}

void TPrintPreviewForm::PrintBtnClick() {
  if (!PrinterInstalled()) {
    UI().ShowMessage(TMsgKind::Error, PrintPreviewText(2));
    return;
  }
  accept();
}

// ---------------------------------------------------------------------------------------

void AddPreviewPages(TPreviewRenderer render, bool landscape) {
  State().render = std::move(render);
  State().landscape = landscape;
}

bool ShowPrintPreview(bool& previewFlag) {
  const TPreviewRenderer render = std::move(State().render);
  State().render = nullptr;
  const bool landscape = State().landscape;
  // The pages are laid out on the printer they go to; without one on the program's page.
  std::unique_ptr<QPrinter> own;
  QPrinter* printer = PrinterInstalled() ? PrinterServices().Device(ChosenPrinter()) : nullptr;
  if (printer) {
    printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  } else {
    own = NewFallbackPrinter(landscape, "");
    printer = own.get();
  }
  TPrintPreviewForm form(printer, render, QApplication::activeWindow());
  form.PreviewCheckBox->setChecked(previewFlag);
  if (ExecModal(form) != QDialog::Accepted) return false;
  previewFlag = form.PreviewCheckBox->isChecked();
  TakePrinterChoice(form.PrintersCombo, form.CopiesEd);
  return true;
}

bool PreviewPrintRun(const TPreviewRenderer& render, bool landscape) {
  AddPreviewPages(render, landscape);
  const bool before = PrintSettings().preview;
  bool flag = before;
  if (!ShowPrintPreview(flag)) return false;
  if (flag != before) {
    if (const auto& store = State().storeFlag) store(flag);
    PrintSettings().preview = flag;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Lists.

bool ExportTabFileToXls(const std::string& tabFile, std::string& targetFile) {
  std::vector<std::string> lines;
  if (LoadTextFile(tabFile, lines) != ltfRead) return false;
  TNativeXLS book;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] >= '\x01' && line[0] <= '\x08') continue;
    for (const std::string& cell : SplitTabs(line)) book.AddText(cell);
    book.NewRow();
  }
  if (book.Overflowed()) {
    UI().ShowMessage(TMsgKind::Error, NativeXlsLimitText());
    return false;
  }
  if (!book.SaveToFile(targetFile)) return false;
  targetFile = book.FileName();
  OpenWithDesktop(targetFile);
  return true;
}

int TabFileColumnCount(const std::string& fileName) {
  std::vector<std::string> lines;
  if (LoadTextFile(fileName, lines) != ltfRead) return 0;
  for (const std::string& line : lines)
    if (line.empty() || line[0] < '\x01' || line[0] > '\x08')
      return static_cast<int>(SplitTabs(line).size());
  return 0;
}

bool PrintStringGrid(const std::string& title, const std::string& fileName, int columns) {
  TPrintSettings& settings = PrintSettings();
  if (settings.printToFile) {
    // Used once: a later print without the selection dialog prints again instead of
    // writing over this file.
    std::string target = settings.targetFile;
    settings.printToFile = false;
    settings.targetFile.clear();
    if (target.empty()) return false;
    return ExportTabFileToXls(fileName, target);
  }

  const bool landscape = settings.landscape;
  std::string dateText, total, countedOn;
  auto run = [&](int mode, QPrinter* previewPrinter, std::vector<QImage>* pages = nullptr) {
    TSimplePrint ps;
    ps.mode = mode;
    ps.landscape = landscape;
    ps.previewPrinter = previewPrinter;
    ps.dateText = dateText;
    ps.extraHeaderText = total;
    const bool ok = PrintTextFile(ps, title, fileName, kListLeftCm, columns);
    if (pages) *pages = std::move(ps.previewPages);
    if (mode == kPrintModeCount && ok) {
      dateText = ps.dateText;
      total = std::to_string(ps.pageNumber);
      countedOn = ChosenPrinter();
    }
    return ok;
  };
  // The count: every page header shows the page total.
  if (!run(kPrintModeCount, nullptr)) return false;

  if (settings.preview || !PrinterInstalled()) {
    const bool print = PreviewPrintRun(
        [&](QPrinter* device) {
          std::vector<QImage> pages;
          run(kPrintModePreview, device, &pages);
          return pages;
        },
        landscape);
    ProcessEventsWithoutInput();
    if (!print || !PrinterInstalled()) return true;
    // Another printer chosen in the preview lays the pages out anew.
    if (ChosenPrinter() != countedOn) {
      total.clear();
      if (!run(kPrintModeCount, nullptr)) return false;
    }
  }
  return run(kPrintModePrinter, nullptr);
}

void StringsToTabText(std::vector<std::string>& rows, const std::vector<std::string>& cellLines) {
  if (rows.empty()) rows.emplace_back();
  const std::size_t tabs =
      static_cast<std::size_t>(std::count(rows.front().begin(), rows.front().end(), '\t'));
  static const std::vector<std::string> kNone{"-"};
  const std::vector<std::string>& lines = cellLines.empty() ? kNone : cellLines;
  while (rows.size() < lines.size()) rows.push_back(std::string(tabs, '\t'));
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] += i < lines.size() ? "\t" + lines[i] : std::string("\t");
}

void StringsToLines(const std::vector<std::string>& rows, std::string& text) {
  text.clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i) text += "\r\n";
    const std::string& row = rows[i];
    text.append(row, 0, !row.empty() && row.back() == '\t' ? row.size() - 1 : row.size());
  }
}

// ---------------------------------------------------------------------------------------
// The key list.

TPrintFields& PrintKeyList() {
  static TPrintFields fields = [] {
    TPrintFields f(klColumnCount);
    f[klName] = {CoreText(9), true};
    f[klLockNumber] = {CoreText(120), true};
    f[klSystem] = {CoreText(1), true};
    f[klKeyType] = {CoreText(8), false};
    f[klStock] = {CoreText(101), true};
    f[klRemark] = {CoreText(10), false};
    f[klHolders] = {HolderCaption(), true};
    f[klDoors] = {CoreText(5), false};
    return f;
  }();
  return fields;
}

std::vector<std::string> KeyListRows(TMiniDB& db, const std::vector<int32_t>& keys,
                                     int32_t bunch, const TPrintFields& fields) {
  auto marked = [&](int column) {
    if (bunch && (column == klStock || column == klHolders)) return false;
    return column < static_cast<int>(fields.size()) && fields[static_cast<size_t>(column)].checked;
  };
  std::vector<std::string> rows;
  std::string header;
  for (int c = 0; c < klColumnCount; ++c)
    if (marked(c)) header += (header.empty() ? "" : "\t") + fields[static_cast<size_t>(c)].caption;
  rows.push_back(header);

  int done = 0;
  for (const int32_t key : keys) {
    if (++done % 32 == 0) ProcessEventsWithoutInput();
    if (!db.HasRecord(key)) continue;
    // The key's rows, cell by cell: the multi-line cells continue on the rows below.
    std::vector<std::vector<std::string>> grid(1);
    int column = 0;
    auto put = [&](const std::vector<std::string>& lines) {
      if (grid.size() < lines.size()) grid.resize(lines.size());
      for (std::size_t i = 0; i < grid.size(); ++i) {
        grid[i].resize(static_cast<size_t>(column));
        grid[i].push_back(i < lines.size() ? lines[i] : std::string());
      }
      ++column;
    };
    if (marked(klName)) {
      std::string name = db.GetDisplayName(key);
      if (db.GetClass10Link(key) != 0) name = " \xBB " + name;
      if (bunch) {
        const std::string identifier = IdentifierOfHolder(db, key, bunch);
        if (!identifier.empty()) name += " (" + identifier + ")";
      }
      put({name});
    }
    if (marked(klLockNumber)) put({db.GetField(key, "k603")});
    if (marked(klSystem)) put({ItemKeySystemName(db, key)});
    if (marked(klKeyType)) put({KeyTypeAbbrev(db, key)});
    if (marked(klStock)) {
      const std::string total = db.GetField(key, fkTotal);
      put({db.GetField(key, fkStock) + (total.empty() ? "" : VonText() + total)});
    }
    if (marked(klRemark)) put({ItemRemarkLine(db, key)});
    if (marked(klHolders)) {
      std::vector<std::string> holders = HolderLines(db, key);
      put(holders.empty() ? std::vector<std::string>{"-"} : holders);
    }
    if (marked(klDoors)) {
      std::vector<std::string> doors = DoorLines(db, key);
      put(doors.empty() ? std::vector<std::string>{"-"} : doors);
    }
    for (const auto& cells : grid) {
      std::string row;
      for (std::size_t c = 0; c < cells.size(); ++c) row += (c ? "\t" : "") + cells[c];
      rows.push_back(row);
    }
  }
  return rows;
}

bool PrintRecordsToFile(const std::vector<int32_t>& keys, int32_t bunch) {
  TMiniDB* db = SessionDB();
  if (!db) return false;
  const TPrintFields& fields = PrintKeyList();
  int columns = 0;
  for (int c = 0; c < klColumnCount; ++c)
    if (fields[static_cast<size_t>(c)].checked && !(bunch && (c == klStock || c == klHolders)))
      ++columns;
  const std::vector<std::string> rows = KeyListRows(*db, keys, bunch, fields);
  const std::string title =
      bunch ? PrintSelectText(5) + " " + db->GetDisplayName(bunch) : KeysCaption();
  const std::string file = CreateTempFile();
  bool printed = !file.empty() && SaveTextFile(rows, file) &&
                 PrintStringGrid(title, file, columns);
  if (!file.empty()) DeleteTempFile(file);
  if (!printed && !PrintTerminationRequested()) UI().ShowMessage(TMsgKind::Error, CoreText(29));
  return printed;
}
