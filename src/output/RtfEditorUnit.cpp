#include "output/RtfEditorUnit.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrinterServicesUnit.h"
#include "output/RtfTextUnit.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"

const TMLStringList* RtfEditorTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TRtfForm", 0);
    t->Add255Obj("\xC4nderungen speichern in %1?", 1);
    t->Add255Obj("\xDC" "berschreiben von %1", 2);
    t->Add255Obj("ge\xE4ndert", 3);
    t->Add255Obj("Zeile", 4);
    t->Add255Obj("Spalte", 5);
    t->Add255Obj("Die Datei %1 konnte nicht gelesen werden.", 6);
    t->Add255Obj("Die Datei %1 konnte nicht gespeichert werden.", 7);
    t->Add255Obj("Es ist kein Drucker installiert.", 8);
    t->Add255Obj("Schreibgesch\xFCtzt \xF6" "ffnen", 9);
    return t;
  }();
  return table;
}

namespace {

std::string TextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(RtfEditorTexts(), number, argument);
}

constexpr int kGutter = 6;  // ruler pixels left and right of the text
constexpr double kPixelsPerPoint = 4.0 / 3.0;

// The folders the open and save dialogs started in, for the run.
std::string& LastOpenFolder() {
  static std::string folder;
  return folder;
}
std::string& LastSaveFolder() {
  static std::string folder;
  return folder;
}

// A path from a dialog (the system's) as the program spells it (1252).
std::string ProgramPath(const QString& path) { return OsToAnsi(QFile::encodeName(path).toStdString()); }
QString QtPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(PfOsPath(path)));
}

std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}
std::string NameOf(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}
bool FileThere(const std::string& name) {
  TPfInfo info;
  return !name.empty() && PfStat(name, info) == 0 && info.kind == TPfKind::File;
}
bool IsTextName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && AnsiLowerCase(name.substr(dot)) == ".txt";
}

// Small icons of our own for the buttons the style has none for.
QIcon DrawnIcon(char kind) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1));
  switch (kind) {
    case 'c':  // copy: two sheets
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
      break;
    case 'v':  // paste: a clipboard
      p.setBrush(QColor(200, 160, 100));
      p.drawRect(QRectF(2.5, 2.5, 11, 12));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(5.5, 1.5, 5, 3));
      break;
    case 'x':  // cut: scissors
      p.drawEllipse(QRectF(2, 10, 4, 4));
      p.drawEllipse(QRectF(10, 10, 4, 4));
      p.drawLine(QPointF(5, 10), QPointF(11, 1));
      p.drawLine(QPointF(11, 10), QPointF(5, 1));
      break;
    case 'p':  // print: a printer with its sheet
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 6));
      p.setBrush(QColor(150, 150, 150));
      p.drawRect(QRectF(1.5, 7.5, 13, 5));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 11.5, 7, 3));
      break;
    case 'C':  // centred lines
    case 'R':  // right-aligned lines
      for (int i = 0; i < 4; ++i) {
        const double w = i % 2 ? 8 : 12;
        const double x = kind == 'C' ? (16 - w) / 2 : 14 - w;
        p.drawLine(QPointF(x, 3.5 + 3 * i), QPointF(x + w, 3.5 + 3 * i));
      }
      break;
    default:
      break;
  }
  p.end();
  return QIcon(pixmap);
}

QStringList FileFilters() {
  return {QStringLiteral("Rich Text Files (*.RTF *.rtf)"), QStringLiteral("Text Files (*.TXT *.txt)")};
}

// The text edit: files dropped on it open in the editor instead of going into the text.
class TRtfEdit : public QTextEdit {
 public:
  explicit TRtfEdit(QWidget* parent) : QTextEdit(parent) {}
  std::function<void(const std::string&)> onFileDropped;

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override {
    return source->hasUrls() || QTextEdit::canInsertFromMimeData(source);
  }
  void insertFromMimeData(const QMimeData* source) override {
    if (source->hasUrls()) {
      for (const QUrl& url : source->urls())
        if (url.isLocalFile()) {
          if (onFileDropped) onFileDropped(ProgramPath(url.toLocalFile()));
          return;
        }
    }
    QTextEdit::insertFromMimeData(source);
  }
};

}  // namespace

// =======================================================================================
// The ruler

class TRulerMarker : public QWidget {
 public:
  TRulerMarker(QWidget* parent, int kind, const char* name) : QWidget(parent), kind_(kind) {
    setObjectName(name);
    setFixedSize(9, 8);
    setCursor(Qt::SizeHorCursor);
  }
  std::function<void(int kind, int centreX)> onDrop;
  int Centre() const { return x() + width() / 2; }
  void SetCentre(int centre) { move(centre - width() / 2, y()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::WindowText));
    QPolygon triangle;
    if (kind_ == 0)  // the first line's marker hangs from the top
      triangle << QPoint(0, 0) << QPoint(8, 0) << QPoint(4, 7);
    else
      triangle << QPoint(4, 0) << QPoint(8, 7) << QPoint(0, 7);
    p.drawPolygon(triangle);
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragOffset_ = width() / 2 - static_cast<int>(e->position().x());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!dragging_) return;
    const int centre = mapToParent(e->position().toPoint()).x() + dragOffset_;
    SetCentre(std::clamp(centre, kGutter, parentWidget()->width() - kGutter));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (!dragging_) return;
    mouseMoveEvent(e);
    dragging_ = false;
    if (onDrop) onDrop(kind_, Centre());
  }

 private:
  int kind_;
  bool dragging_ = false;
  int dragOffset_ = 0;
};

class TRtfRuler : public QWidget {
 public:
  explicit TRtfRuler(QWidget* parent) : QWidget(parent) {
    setObjectName("Ruler");
    setFixedHeight(26);
    setAutoFillBackground(true);
    RulerLine = new QFrame(this);
    RulerLine->setObjectName("RulerLine");
    RulerLine->setFrameShape(QFrame::HLine);
    RulerLine->setGeometry(kGutter, 12, 100, 2);
    FirstInd = new TRulerMarker(this, 0, "FirstInd");
    LeftInd = new TRulerMarker(this, 1, "LeftInd");
    RightInd = new TRulerMarker(this, 2, "RightInd");
    FirstInd->move(0, 2);
    LeftInd->move(0, 16);
    RightInd->move(0, 16);
  }
  // The markers at the paragraph's indents (pixels of the document, which the ruler shares).
  void Show(double firstPx, double leftPx, double rightPx) {
    first_ = firstPx;
    left_ = leftPx;
    right_ = rightPx;
    FirstInd->SetCentre(static_cast<int>(firstPx) + kGutter);
    LeftInd->SetCentre(static_cast<int>(leftPx) + kGutter);
    RightInd->SetCentre(width() - kGutter - static_cast<int>(rightPx));
  }

  QFrame* RulerLine;
  TRulerMarker* FirstInd;
  TRulerMarker* LeftInd;
  TRulerMarker* RightInd;

 private:
  double first_ = 0, left_ = 0, right_ = 0;

 protected:
  void resizeEvent(QResizeEvent*) override {
    RulerLine->setGeometry(kGutter, 12, std::max(width() - 2 * kGutter, 1), 2);
    Show(first_, left_, right_);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    const double cm = 96.0 / 2.54;
    for (int i = 0;; ++i) {
      const int x = kGutter + static_cast<int>(i * cm / 2);
      if (x > width() - kGutter) break;
      p.drawLine(x, i % 2 ? 10 : 8, x, 12);
    }
  }
};

// =======================================================================================
// The form

std::string RtfEditorText(int number) { return GetMLText(RtfEditorTexts(), number); }

TRtfForm::TRtfForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RtfForm");
  setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
  CreateControls();
  // Verdana 10 where it is installed, else the system's own font.
  QFont font = QApplication::font();
  if (QFontDatabase::families().contains(QStringLiteral("Verdana"), Qt::CaseInsensitive)) {
    font = QFont(QStringLiteral("Verdana"));
    font.setPointSize(10);
  }
  Editor->document()->setDefaultFont(font);
  Editor->setCurrentFont(font);
  const QScreen* screen = QApplication::primaryScreen();
  const int height = screen ? std::min(screen->availableGeometry().height() - 50, 800) : 600;
  resize(700, std::max(height, 300));
  TranslateForm(this);
  UpdateCaption();
  Editor->document()->setModified(false);
  SelectionChanged();
}

TRtfForm::~TRtfForm() = default;

void TRtfForm::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  layout->setMenuBar(MainMenu);
  auto action = [this](QMenu* menu, const char* name, const char* caption, auto slot) {
    QAction* a = menu->addAction(ToQString(caption));
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* file = MainMenu->addMenu(ToQString("Datei"));
  file->setObjectName("FileMenu");
  FileNewItem = action(file, "FileNewItem", "Neu", [this] { NewText(); });
  FileOpenItem = action(file, "FileOpenItem", "\xD6" "ffnen ...", [this] { OpenWithDialog(); });
  FileSaveItem = action(file, "FileSaveItem", "Speichern", [this] { SaveAs(); });
  FileSaveAsItem = action(file, "FileSaveAsItem", "Speichern unter ...", [this] { SaveAs(); });
  FilePrintItem = action(file, "FilePrintItem", "Drucken", [this] { PrintText(); });
  file->addSeparator();
  FileExitItem = action(file, "FileExitItem", "Fenster schlie\xDF" "en", [this] { close(); });
  QMenu* edit = MainMenu->addMenu(ToQString("Bearbeiten"));
  edit->setObjectName("EditMenu");
  EditUndoItem = action(edit, "EditUndoItem", "R\xFC" "ckg\xE4ngig", [this] { Editor->undo(); });
  edit->addSeparator();
  EditCopyItem = action(edit, "EditCopyItem", "Kopieren", [this] { Editor->copy(); });
  EditCutItem = action(edit, "EditCutItem", "Ausschneiden", [this] { Editor->cut(); });
  EditPasteItem = action(edit, "EditPasteItem", "Einf\xFCgen", [this] { Editor->paste(); });
  edit->addSeparator();
  EditFontItem = action(edit, "EditFontItem", "Schriftart ...", [this] { ChooseFont(); });

  StandardToolBar = new QToolBar(this);
  StandardToolBar->setObjectName("StandardToolBar");
  StandardToolBar->setIconSize(QSize(16, 16));
  layout->addWidget(StandardToolBar);
  auto tool = [this](const char* name, const char* hint, QStyle::StandardPixmap icon,
                     const char* text, bool checkable) {
    auto* b = new QToolButton(StandardToolBar);
    b->setObjectName(name);
    b->setToolTip(ToQString(hint));
    if (text)
      b->setText(ToQString(text));
    else if (icon != QStyle::SP_CustomBase)
      b->setIcon(style()->standardIcon(icon));
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    StandardToolBar->addWidget(b);
    return b;
  };
  connect(tool("NewButton", "Neu", QStyle::SP_FileIcon, nullptr, false), &QToolButton::clicked,
          this, [this] { NewText(); });
  connect(tool("OpenButton", "\xD6" "ffnen", QStyle::SP_DialogOpenButton, nullptr, false),
          &QToolButton::clicked, this, [this] { OpenWithDialog(); });
  connect(tool("SaveButton", "Speichern", QStyle::SP_DialogSaveButton, nullptr, false),
          &QToolButton::clicked, this, [this] { SaveAs(); });
  QToolButton* print = tool("PrintButton", "Drucken", QStyle::SP_CustomBase, nullptr, false);
  print->setIcon(DrawnIcon('p'));
  connect(print, &QToolButton::clicked, this, [this] { PrintText(); });
  StandardToolBar->addSeparator();
  CutButton = tool("CutButton", "Ausschneiden", QStyle::SP_CustomBase, nullptr, false);
  CutButton->setIcon(DrawnIcon('x'));
  CopyButton = tool("CopyButton", "Kopieren", QStyle::SP_CustomBase, nullptr, false);
  CopyButton->setIcon(DrawnIcon('c'));
  connect(CutButton, &QToolButton::clicked, this, [this] { Editor->cut(); });
  connect(CopyButton, &QToolButton::clicked, this, [this] { Editor->copy(); });
  auto* paste = tool("PasteButton", "Einf\xFCgen", QStyle::SP_CustomBase, nullptr, false);
  paste->setIcon(DrawnIcon('v'));
  connect(paste, &QToolButton::clicked, this, [this] { Editor->paste(); });
  connect(tool("UndoButton", "R\xFC" "ckg\xE4ngig", QStyle::SP_ArrowBack, nullptr, false),
          &QToolButton::clicked, this, [this] { Editor->undo(); });
  StandardToolBar->addSeparator();

  FontName = new QComboBox(StandardToolBar);
  FontName->setObjectName("FontName");
  FontName->setToolTip(ToQString("Schriftart"));
  FontName->addItems(QFontDatabase::families());  // sorted
  // Editable: a font the text asks for but the system lacks still shows its name.
  FontName->setEditable(true);
  FontName->setInsertPolicy(QComboBox::NoInsert);
  FontName->setMinimumContentsLength(16);
  StandardToolBar->addWidget(FontName);
  FontSize = new QSpinBox(StandardToolBar);
  FontSize->setObjectName("FontSize");
  FontSize->setToolTip(ToQString("Schriftgr\xF6\xDF" "e"));
  FontSize->setRange(1, 1638);
  StandardToolBar->addWidget(FontSize);
  StandardToolBar->addSeparator();
  BoldButton = tool("BoldButton", "Fett", QStyle::SP_CustomBase, "F", true);
  QFont f = BoldButton->font();
  f.setBold(true);
  BoldButton->setFont(f);
  ItalicButton = tool("ItalicButton", "Kursiv", QStyle::SP_CustomBase, "K", true);
  f = ItalicButton->font();
  f.setItalic(true);
  ItalicButton->setFont(f);
  UnderlineButton = tool("UnderlineButton", "Unterstrichen", QStyle::SP_CustomBase, "U", true);
  f = UnderlineButton->font();
  f.setUnderline(true);
  UnderlineButton->setFont(f);
  StandardToolBar->addSeparator();
  CenterButton = tool("CenterButton", "Zentriert", QStyle::SP_CustomBase, nullptr, true);
  CenterButton->setIcon(DrawnIcon('C'));
  RightButton = tool("RightButton", "Rechtsb\xFCndig", QStyle::SP_CustomBase, nullptr, true);
  RightButton->setIcon(DrawnIcon('R'));

  EditPanel = new QWidget(this);
  EditPanel->setObjectName("EditPanel");
  auto* panel = new QVBoxLayout(EditPanel);
  panel->setContentsMargins(0, 0, 0, 0);
  panel->setSpacing(0);
  Ruler = new TRtfRuler(EditPanel);
  panel->addWidget(Ruler);
  auto* editor = new TRtfEdit(EditPanel);
  editor->onFileDropped = [this](const std::string& file) { FileDropped(file); };
  Editor = editor;
  Editor->setObjectName("Editor");
  Editor->setAcceptRichText(true);
  Editor->document()->setDocumentMargin(kGutter);
  panel->addWidget(Editor, 1);
  layout->addWidget(EditPanel, 1);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  StatusPosition = new QLabel(StatusBar);
  StatusPosition->setObjectName("StatusPosition");
  SetNoTranslate(StatusPosition);  // made from the translated words at every cursor move
  StatusPosition->setMinimumWidth(200);
  StatusModified = new QLabel(StatusBar);
  StatusModified->setObjectName("StatusModified");
  StatusBar->addWidget(StatusPosition);
  StatusBar->addWidget(StatusModified, 1);
  layout->addWidget(StatusBar);

  // Controls follow the selection; changing them changes the selection.
  connect(Editor, &QTextEdit::cursorPositionChanged, this, [this] { SelectionChanged(); });
  connect(Editor, &QTextEdit::currentCharFormatChanged, this, [this] { SelectionChanged(); });
  connect(Editor, &QTextEdit::copyAvailable, this, [this](bool yes) {
    CutButton->setEnabled(yes);
    CopyButton->setEnabled(yes);
    EditCutItem->setEnabled(yes);
    EditCopyItem->setEnabled(yes);
  });
  connect(Editor->document(), &QTextDocument::modificationChanged, this, [this](bool changed) {
    StatusModified->setText(changed ? ToQString(RtfEditorText(3)) : QString());
  });
  connect(FontName, &QComboBox::textActivated, this, [this](const QString& family) {
    QTextCharFormat format;
    format.setFontFamilies({family});
    ApplyCharFormat(format);
  });
  connect(FontName->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    const QString family = FontName->currentText().trimmed();
    if (family.isEmpty()) return;
    QTextCharFormat format;
    format.setFontFamilies({family});
    ApplyCharFormat(format);
  });
  connect(FontSize, &QSpinBox::valueChanged, this, [this](int size) {
    if (updating_) return;
    QTextCharFormat format;
    format.setFontPointSize(size);
    ApplyCharFormat(format);
  });
  connect(BoldButton, &QToolButton::toggled, this, [this](bool on) {
    if (updating_) return;
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    ApplyCharFormat(format);
  });
  connect(ItalicButton, &QToolButton::toggled, this, [this](bool on) {
    if (updating_) return;
    QTextCharFormat format;
    format.setFontItalic(on);
    ApplyCharFormat(format);
  });
  connect(UnderlineButton, &QToolButton::toggled, this, [this](bool on) {
    if (updating_) return;
    QTextCharFormat format;
    format.setFontUnderline(on);
    ApplyCharFormat(format);
  });
  connect(CenterButton, &QToolButton::toggled, this, [this](bool on) {
    if (!updating_) SetAlignment(on ? Qt::AlignHCenter : Qt::AlignLeft);
  });
  connect(RightButton, &QToolButton::toggled, this, [this](bool on) {
    if (!updating_) SetAlignment(on ? Qt::AlignRight : Qt::AlignLeft);
  });
  for (TRulerMarker* m : {Ruler->FirstInd, Ruler->LeftInd, Ruler->RightInd})
    m->onDrop = [this](int kind, int centre) { RulerDrop(kind, centre); };

  CutButton->setEnabled(false);
  CopyButton->setEnabled(false);
  EditCutItem->setEnabled(false);
  EditCopyItem->setEnabled(false);
  setAcceptDrops(true);
}

void TRtfForm::SetBaseCaption(const std::string& caption) {
  baseCaption_ = caption.empty() ? "Editor" : caption;
  UpdateCaption();
}

void TRtfForm::UpdateCaption() {
  std::string caption = MLTranslate(baseCaption_);
  if (!fileName_.empty()) caption += " - " + NameOf(fileName_);
  setWindowTitle(ToQString(caption));
}

void TRtfForm::ForgetFileName() {
  fileName_.clear();
  UpdateCaption();
}

bool TRtfForm::Modified() const { return Editor->document()->isModified(); }

std::string TRtfForm::StatusText() const { return FromQString(StatusPosition->text()); }

void TRtfForm::SelectionChanged() {
  const QTextCursor cursor = Editor->textCursor();
  const QTextCharFormat format = Editor->currentCharFormat();
  updating_ = true;
  const QFont font = format.font().resolve(Editor->document()->defaultFont());
  const QStringList families = format.fontFamilies().toStringList();
  const QString family = families.isEmpty() ? font.family() : families.first();
  const int index = FontName->findText(family, Qt::MatchFixedString);
  FontName->setCurrentIndex(index);
  FontName->setEditText(family);
  FontSize->setValue(static_cast<int>(std::lround(font.pointSizeF() > 0 ? font.pointSizeF() : 10)));
  BoldButton->setChecked(font.bold());
  ItalicButton->setChecked(font.italic());
  UnderlineButton->setChecked(font.underline());
  const Qt::Alignment align = cursor.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
  CenterButton->setChecked(align & Qt::AlignHCenter);
  RightButton->setChecked(align & Qt::AlignRight);
  const QTextBlockFormat block = cursor.blockFormat();
  Ruler->Show(block.leftMargin() + block.textIndent(), block.leftMargin(), block.rightMargin());
  updating_ = false;
  StatusPosition->setText(ToQString(RtfEditorText(5) + ": " +
                                    std::to_string(cursor.positionInBlock() + 1) + ", " +
                                    RtfEditorText(4) + ": " +
                                    std::to_string(cursor.blockNumber() + 1)));
}

void TRtfForm::ApplyCharFormat(const QTextCharFormat& format) {
  if (updating_) return;
  Editor->mergeCurrentCharFormat(format);
  Editor->setFocus();
}

void TRtfForm::SetAlignment(Qt::Alignment alignment) {
  Editor->setAlignment(alignment);
  SelectionChanged();
}

void TRtfForm::ChooseFont() {
  QFontDialog dialog(this);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  dialog.setCurrentFont(Editor->currentCharFormat().font().resolve(Editor->document()->defaultFont()));
  if (ExecModal(dialog) != QDialog::Accepted) return;
  QTextCharFormat format;
  format.setFont(dialog.selectedFont(), QTextCharFormat::FontPropertiesAll);
  Editor->mergeCurrentCharFormat(format);
}

bool TRtfForm::LoadRtf(const std::string& rtf) {
  if (!LoadRtfIntoDocument(*Editor->document(), rtf)) return false;
  Editor->document()->setUndoRedoEnabled(true);
  Editor->moveCursor(QTextCursor::Start);
  Editor->document()->setModified(false);
  SelectionChanged();
  return true;
}

bool TRtfForm::OpenFile(const std::string& fileName) {
  if (!FileThere(fileName)) return false;
  std::string bytes;
  TPfInfo info;
  bool ok = PfStat(fileName, info) == 0 && (info.size == 0 || ReadFileToString(fileName, bytes));
  if (ok) {
    if (IsTextName(fileName))
      LoadPlainTextIntoDocument(*Editor->document(), bytes);
    else
      ok = LoadRtfIntoDocument(*Editor->document(), bytes);
  }
  if (!ok) {
    ShowError(TextFmt(6, fileName));
    return false;
  }
  Editor->document()->setUndoRedoEnabled(true);
  Editor->moveCursor(QTextCursor::Start);
  LastOpenFolder() = FolderOf(fileName);
  fileName_ = fileName;
  UpdateCaption();
  Editor->setFocus();
  Editor->document()->setModified(false);
  SelectionChanged();
  return true;
}

bool TRtfForm::SaveFile(const std::string& fileName) {
  const std::string bytes = IsTextName(fileName) ? DocumentToPlainText(*Editor->document())
                                                 : DocumentToRtf(*Editor->document());
  // SaveTextFile writes beside the target and renames: the old file stays whole until then.
  if (!SaveTextFile(SplitTextLines(bytes), fileName)) {
    ShowError(TextFmt(7, fileName));
    return false;
  }
  return true;
}

bool TRtfForm::SaveAs() {
  QFileDialog dialog(this);
  dialog.setObjectName("SaveDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(FileFilters());
  dialog.setDefaultSuffix(QStringLiteral("rtf"));
  const std::string start = !LastSaveFolder().empty() ? LastSaveFolder() : FolderOf(fileName_);
  if (!start.empty()) dialog.setDirectory(QtPath(start));
  if (!fileName_.empty()) dialog.selectFile(QtPath(NameOf(fileName_)));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const std::string name = ProgramPath(dialog.selectedFiles().first());
  if (FileThere(name) &&
      AskButtons(TextFmt(2, name), MsgDlgText(mdtYes), MsgDlgText(mdtNo), true, "") != 1)
    return false;
  if (!SaveFile(name)) return false;
  LastSaveFolder() = FolderOf(name);
  fileName_ = name;
  UpdateCaption();
  Editor->document()->setModified(false);
  return true;
}

bool TRtfForm::QuerySave() {
  if (!Modified()) return true;
  const std::string name = fileName_.empty() ? FromQString(windowTitle()) : fileName_;
  switch (AskButtons(TextFmt(1, name), MsgDlgText(mdtYes), MsgDlgText(mdtNo), true, "")) {
    case 1:
      return SaveAs();
    case 2:
      return true;
    default:
      return false;
  }
}

void TRtfForm::NewText() {
  if (!QuerySave()) return;
  Editor->clear();
  Editor->setCurrentFont(Editor->document()->defaultFont());
  Editor->setReadOnly(false);
  fileName_.clear();
  UpdateCaption();
  Editor->document()->setModified(false);
  SelectionChanged();
}

void TRtfForm::OpenWithDialog() {
  if (!QuerySave()) return;
  QFileDialog dialog(this);
  dialog.setObjectName("OpenDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(FileFilters());
  if (!LastOpenFolder().empty()) dialog.setDirectory(QtPath(LastOpenFolder()));
  auto* readOnly = new QCheckBox(ToQString(RtfEditorText(9)), &dialog);
  readOnly->setObjectName("ReadOnlyCheck");
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(readOnly, grid->rowCount(), 0, 1, -1);
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  if (OpenFile(ProgramPath(dialog.selectedFiles().first())))
    Editor->setReadOnly(readOnly->isChecked());
}

void TRtfForm::FileDropped(const std::string& fileName) {
  if (!QuerySave()) return;
  OpenFile(fileName);
}

bool TRtfForm::PrintText() {
  return PrintText(*Editor->document(), FromQString(windowTitle()));
}

void TRtfForm::RulerDrop(int marker, int centreX) {
  const QTextBlockFormat current = Editor->textCursor().blockFormat();
  // Whole points, as the ruler's pixels give them.
  auto points = [](int pixels) { return std::trunc(pixels * 3.0 / 4.0); };
  double first = (current.leftMargin() + current.textIndent()) / kPixelsPerPoint;
  double left = -current.textIndent() / kPixelsPerPoint;  // the other lines, from the first
  double right = current.rightMargin() / kPixelsPerPoint;
  switch (marker) {
    case 0:
      first = points(centreX - kGutter);
      break;
    case 1:
      left = points(centreX - kGutter) - first;
      break;
    case 2:
      right = points(Ruler->width() - kGutter - centreX);
      break;
    default:
      return;
  }
  QTextBlockFormat format;
  format.setLeftMargin(std::max(first + left, 0.0) * kPixelsPerPoint);
  format.setTextIndent(-left * kPixelsPerPoint);
  format.setRightMargin(std::max(right, 0.0) * kPixelsPerPoint);
  QTextCursor cursor = Editor->textCursor();
  cursor.mergeBlockFormat(format);
  Editor->setTextCursor(cursor);
  SelectionChanged();
}

TRtfForm::TIndents TRtfForm::ParagraphIndents() const {
  const QTextBlockFormat f = Editor->textCursor().blockFormat();
  TIndents i;
  i.first = (f.leftMargin() + f.textIndent()) / kPixelsPerPoint;
  i.left = f.leftMargin() / kPixelsPerPoint;
  i.right = f.rightMargin() / kPixelsPerPoint;
  return i;
}

void TRtfForm::reject() {
  if (!QuerySave()) return;
  QDialog::reject();
}

void TRtfForm::closeEvent(QCloseEvent* event) {
  if (!QuerySave()) {
    event->ignore();
    return;
  }
  // Leave with the text as it is now: the question is not asked a second time.
  Editor->document()->setModified(false);
  QDialog::closeEvent(event);
}

void TRtfForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized)) return;
  // The editor is modal over the program: minimising it takes the whole program away.
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) owner->showMinimized();
}

bool TRtfForm::PrintText(const QTextDocument& document, const std::string& jobTitle,
                         const std::string& printer) {
  if (!PrinterInstalled() && JobFile().empty()) {
    ShowError(RtfEditorText(8));
    return false;
  }
  const std::string name = printer.empty() ? ChosenPrinter() : printer;
  if (QPrinter* named = PrinterServices().Device(name)) named->setDocName(ToQString(jobTitle));
  std::unique_ptr<QPrinter> own;
  QPrinter* device = JobDevice(name, own);
  if (!device) return false;
  device->setDocName(ToQString(jobTitle));
  QPainter painter;
  if (!painter.begin(device)) return false;

  // A copy laid out for the printer: its pages are the printable area less the margins
  // (in the document's units of 96 per inch; the layout scales them to the printer).
  std::unique_ptr<QTextDocument> copy(document.clone());
  QAbstractTextDocumentLayout* layout = copy->documentLayout();
  layout->setPaintDevice(device);
  QTextFrameFormat frame = copy->rootFrame()->frameFormat();
  frame.setLeftMargin(96 * 3 / 4);
  frame.setRightMargin(96 * 3 / 4);
  frame.setTopMargin(96 / 2);
  frame.setBottomMargin(96 / 2);
  copy->rootFrame()->setFrameFormat(frame);
  const QSizeF page(device->width(), device->height());
  copy->setPageSize(page);
  const int pages = std::max(copy->pageCount(), 1);
  bool ok = true;
  for (int i = 0; i < pages && ok; ++i) {
    if (i > 0) ok = device->newPage();
    if (!ok) break;
    painter.save();
    const QRectF view(0, i * page.height(), page.width(), page.height());
    painter.translate(0, -view.top());
    painter.setClipRect(view);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = view;
    context.palette.setColor(QPalette::Text, Qt::black);
    layout->draw(&painter, context);
    painter.restore();
  }
  if (!ok) device->abort();
  return painter.end() && ok && device->printerState() != QPrinter::Error;
}

// =======================================================================================

namespace {

QWidget* Owner() { return QApplication::activeWindow(); }

}  // namespace

void EditRtfText(const std::string& caption, const std::string& fileName, bool keepName) {
  TRtfForm form(Owner());
  form.SetBaseCaption(caption);
  // Without keepName the loaded text is a new one: saving asks for a name.
  if (!fileName.empty() && form.OpenFile(fileName) && !keepName) form.ForgetFileName();
  ExecModal(form);
}

void EditRtfFile(const std::string& caption, const std::string& rtf) {
  TRtfForm form(Owner());
  form.SetBaseCaption(caption);
  form.LoadRtf(rtf);
  ExecModal(form);
}

bool PrintRichText(const QTextDocument& document, const std::string& jobTitle,
                   const std::string& printer) {
  return TRtfForm::PrintText(document, jobTitle, printer);
}
