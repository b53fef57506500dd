// The virtual signature pad: a driver library "SOPad.so" with the entry points the program
// binds (output/PadDriverApi.h), for machines without a pad and for the end-to-end test.
// It lives in the program's process and uses the program's application object: on
// startCapture it opens a window "Signatur-Pad" with the display lines and a writing area;
// the mouse, a touch screen or a tablet pen writes, "OK" is the pad's big button and
// "Abbrechen" its small one.
//
// The program runs its signature dialog modally, which blocks every other window. So the
// pad places itself from the event loop as a child window of the modal window of the
// moment (QApplication::activeModalWidget), and moves along when that changes.
//
// Samples are 20 bytes as TFrames (data/SigPadUnit.h): x and y on the part of the pad's
// range that the program's signature frame shows, the level and the pressure from the pen
// (a fixed middle value for the mouse), and a stroke tag that changes with every stroke.
// The entry points the program binds but does not call do nothing.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabletEvent>
#include <QTouchEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "data/SigDrawUnit.h"
#include "data/SigPadUnit.h"
#include "output/PadDriverApi.h"
#include "platform/OsText.h"

#define PAD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Mouse and touch without pressure: a middle level and pressure.
constexpr int kMouseLevel = 80;
constexpr std::uint32_t kMousePressure = 1024;

QString PadLineText(const std::string& padLine) {
  const std::string ansi = UnmapPadLine(padLine);
  QString text;
  for (unsigned char c : ansi) text += QChar(static_cast<char16_t>(CodePointOf1252(c)));
  return text;
}

class TPadWriting;

struct TPadState {
  std::map<int, std::string> lines;  // display line (from 1) -> text in the pad's characters
  std::string language;
  TPadButtonHandler big = nullptr;
  TPadButtonHandler small = nullptr;
  std::vector<TFrames> samples;
  std::uint8_t strokeTag = 0;
  bool capturing = false;
  QPointer<QWidget> window;
  QPointer<TPadWriting> writing;
  QPointer<QLabel> topText, bottomText, languageLabel;
  QPointer<QObject> watcher;
};

TPadState& Pad() {
  static TPadState state;
  return state;
}

void PlacePadWindow();
void ShowDisplayLines();

// The writing area: turns pointer positions into samples and shows the strokes.
class TPadWriting : public QWidget {
 public:
  explicit TPadWriting(QWidget* parent) : QWidget(parent) {
    setObjectName("PadWriting");
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_StaticContents);
    setFixedSize(kSigImageWidth * 3 / 2, kSigImageHeight * 3 / 2);
    setCursor(Qt::CrossCursor);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
  }

  void ClearStrokes() {
    strokes_.clear();
    down_ = false;
    update();
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    Begin(e->position(), kMouseLevel, kMousePressure);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (down_ && (e->buttons() & Qt::LeftButton)) Add(e->position(), kMouseLevel, kMousePressure);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) down_ = false;
  }
  void tabletEvent(QTabletEvent* e) override {
    const double p = std::clamp(static_cast<double>(e->pressure()), 0.0, 1.0);
    const int level = static_cast<int>(std::lround(35 + p * 93));
    const auto pressure = static_cast<std::uint32_t>(std::lround(p * 2047));
    switch (e->type()) {
      case QEvent::TabletPress: Begin(e->position(), level, pressure); break;
      case QEvent::TabletMove:
        if (down_) Add(e->position(), level, pressure);
        break;
      case QEvent::TabletRelease: down_ = false; break;
      default: break;
    }
    e->accept();
  }
  bool event(QEvent* e) override {
    switch (e->type()) {
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd: {
        auto* touch = static_cast<QTouchEvent*>(e);
        if (touch->points().isEmpty()) return true;
        const QEventPoint& point = touch->points().first();
        const double p = point.pressure();
        const bool measured = p > 0 && p < 1;
        const int level = measured ? static_cast<int>(std::lround(35 + p * 93)) : kMouseLevel;
        const std::uint32_t pressure =
            measured ? static_cast<std::uint32_t>(std::lround(p * 2047)) : kMousePressure;
        if (e->type() == QEvent::TouchBegin) Begin(point.position(), level, pressure);
        else if (e->type() == QEvent::TouchUpdate && down_) Add(point.position(), level, pressure);
        else down_ = false;
        e->accept();
        return true;
      }
      default: return QWidget::event(e);
    }
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF& stroke : strokes_) {
      if (stroke.size() == 1) painter.drawPoint(stroke.first());
      else painter.drawPolyline(stroke);
    }
  }

 private:
  void Begin(const QPointF& at, int level, std::uint32_t pressure) {
    if (!Pad().capturing) return;
    down_ = true;
    Pad().strokeTag ^= 1;
    strokes_.append(QPolygonF());
    Add(at, level, pressure);
  }
  void Add(const QPointF& at, int level, std::uint32_t pressure) {
    if (!Pad().capturing || strokes_.isEmpty()) return;
    const TPadBox box = SignatureVisibleBox(kSigImageWidth, kSigImageHeight);
    const double fx = std::clamp(at.x() / std::max(1, width()), 0.0, 1.0);
    const double fy = std::clamp(at.y() / std::max(1, height()), 0.0, 1.0);
    TFrames sample;
    sample.x = static_cast<std::uint16_t>(std::lround(box.x0 + fx * (box.x1 - box.x0)));
    sample.y = static_cast<std::uint16_t>(std::lround(box.y0 + fy * (box.y1 - box.y0)));
    sample.level = static_cast<std::uint8_t>(std::clamp(level, 0, 255));
    sample.strokeTag = Pad().strokeTag;
    sample.pressure = pressure;
    Pad().samples.push_back(sample);
    strokes_.last().append(at);
    update();
  }

  QList<QPolygonF> strokes_;
  bool down_ = false;
};

// Watches windows coming and going while a capture runs, so the pad follows the modal one.
class TModalWatcher : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* object, QEvent* e) override {
    if ((e->type() == QEvent::Show || e->type() == QEvent::Hide) && object->isWidgetType() &&
        static_cast<QWidget*>(object)->isWindow() && object != Pad().window.data())
      QMetaObject::invokeMethod(this, [] { PlacePadWindow(); }, Qt::QueuedConnection);
    return false;
  }
};

// Closing the window while a capture runs is the small button: the capture ends, and the
// program's dialog offers to ask again.
class TPadWindow : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (Pad().capturing && Pad().small) Pad().small();
    e->accept();
  }
};

QWidget* CreatePadWindow(QWidget* parent) {
  TPadState& pad = Pad();
  auto* window = new TPadWindow(parent, Qt::Window);
  window->setObjectName("SignaturPad");
  window->setWindowTitle(QStringLiteral("Signatur-Pad"));
  window->setAttribute(Qt::WA_DeleteOnClose, false);

  auto* lcd = new QWidget(window);
  lcd->setObjectName("PadDisplay");
  lcd->setAutoFillBackground(true);
  QPalette pal = lcd->palette();
  pal.setColor(QPalette::Window, QColor(0xD8, 0xE4, 0xD0));
  lcd->setPalette(pal);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  pad.topText = new QLabel(lcd);
  pad.topText->setObjectName("PadTextTop");
  pad.bottomText = new QLabel(lcd);
  pad.bottomText->setObjectName("PadTextBottom");
  pad.languageLabel = new QLabel(lcd);
  for (QLabel* label : {pad.topText.data(), pad.bottomText.data(), pad.languageLabel.data()})
    label->setFont(fixed);
  pad.writing = new TPadWriting(lcd);
  auto* lcdLayout = new QVBoxLayout(lcd);
  lcdLayout->addWidget(pad.languageLabel, 0, Qt::AlignRight);
  lcdLayout->addWidget(pad.topText);
  lcdLayout->addWidget(pad.writing, 0, Qt::AlignHCenter);
  lcdLayout->addWidget(pad.bottomText);

  auto* ok = new QPushButton(QStringLiteral("OK"), window);
  ok->setObjectName("PadBigButton");
  ok->setMinimumSize(160, 40);
  auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), window);
  cancel->setObjectName("PadSmallButton");
  QObject::connect(ok, &QPushButton::clicked, [] {
    if (TPadButtonHandler handler = Pad().big) handler();
  });
  QObject::connect(cancel, &QPushButton::clicked, [] {
    if (TPadButtonHandler handler = Pad().small) handler();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cancel, 0, Qt::AlignBottom);
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* outer = new QVBoxLayout(window);
  outer->addWidget(lcd);
  outer->addLayout(buttons);
  return window;
}

// The display: the text above the longest run of empty lines (where the signature goes),
// the writing area there, the rest below.
void ShowDisplayLines() {
  TPadState& pad = Pad();
  if (!pad.topText) return;
  std::vector<QString> lines;
  const int last = pad.lines.empty() ? 0 : pad.lines.rbegin()->first;
  for (int i = 1; i <= last && i <= 200; ++i) {
    QString text;
    auto it = pad.lines.find(i);
    if (it != pad.lines.end()) text = PadLineText(it->second);
    if (text.trimmed().isEmpty()) text.clear();
    lines.push_back(text);
  }
  size_t bestStart = lines.size(), bestLength = 0;
  for (size_t i = 0; i < lines.size();) {
    if (!lines[i].isEmpty()) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < lines.size() && lines[j].isEmpty()) ++j;
    if (j - i > bestLength && i > 0) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  if (bestLength < 3) bestStart = lines.size(), bestLength = 0;
  QStringList top, bottom;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i < bestStart) top << lines[i];
    else if (i >= bestStart + bestLength) bottom << lines[i];
  }
  // Empty lines at the edges say nothing on screen.
  while (!top.isEmpty() && top.first().isEmpty()) top.removeFirst();
  pad.topText->setText(top.join(QLatin1Char('\n')));
  pad.bottomText->setText(bottom.join(QLatin1Char('\n')));
  pad.bottomText->setVisible(!bottom.isEmpty());
  pad.languageLabel->setText(QString::fromLatin1(pad.language.c_str()));
}

// `r` moved along one axis into `area` (only vertically for a place left or right of the
// window, only horizontally for one above or below it).
QRect ClampAlong(QRect r, const QRect& area, bool vertically) {
  if (vertically) {
    if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
    if (r.top() < area.top()) r.moveTop(area.top());
  } else {
    if (r.right() > area.right()) r.moveRight(area.right());
    if (r.left() < area.left()) r.moveLeft(area.left());
  }
  return r;
}

QRect MoveInto(QRect r, const QRect& area) {
  return ClampAlong(ClampAlong(r, area, true), area, false);
}

// The pad beside the window it belongs to, never over it where the screen has room: right
// of it, else left, below or above; when the window does not leave room, the two are
// moved apart as a pair; on a screen too small for both, they go to opposite corners. (A window manager would place the pad anywhere, a bare X server at the
// top left, over the dialog whose buttons the operator needs next.)
void PlaceBeside(QWidget* window, QWidget* owner) {
  window->adjustSize();
  QScreen* screen = owner ? owner->screen() : window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size();
  if (!owner) {
    window->move(
        MoveInto(QRect(area.center() - QPoint(size.width(), size.height()) / 2, size), area)
            .topLeft());
    return;
  }
  constexpr int kGap = 8;
  const QRect o = owner->frameGeometry();
  const QRect places[] = {
      ClampAlong(QRect(QPoint(o.right() + 1 + kGap, o.top()), size), area, true),
      ClampAlong(QRect(QPoint(o.left() - kGap - size.width(), o.top()), size), area, true),
      ClampAlong(QRect(QPoint(o.left(), o.bottom() + 1 + kGap), size), area, false),
      ClampAlong(QRect(QPoint(o.left(), o.top() - kGap - size.height()), size), area, false)};
  for (const QRect& r : places)
    if (area.contains(r) && !r.intersects(o)) {
      window->move(r.topLeft());
      return;
    }
  // Side by side or one above the other, the pair centred on the screen.
  if (o.width() + kGap + size.width() <= area.width() &&
      std::max(o.height(), size.height()) <= area.height()) {
    const int left = area.left() + (area.width() - o.width() - kGap - size.width()) / 2;
    owner->move(left, MoveInto(o, area).top());
    window->move(MoveInto(QRect(QPoint(left + o.width() + kGap, o.top()), size), area).topLeft());
    return;
  }
  if (o.height() + kGap + size.height() <= area.height() &&
      std::max(o.width(), size.width()) <= area.width()) {
    const int top = area.top() + (area.height() - o.height() - kGap - size.height()) / 2;
    owner->move(MoveInto(o, area).left(), top);
    window->move(MoveInto(QRect(QPoint(o.left(), top + o.height() + kGap), size), area).topLeft());
    return;
  }
  // Too small a screen for both: the two in opposite corners, which covers the least of
  // the window, and that part at its top: its buttons at the bottom stay free.
  const QRect ownerAt =
      MoveInto(QRect(QPoint(area.left(), area.bottom() + 1 - o.height()), o.size()), area);
  owner->move(ownerAt.topLeft());
  window->move(
      MoveInto(QRect(QPoint(area.right() + 1 - size.width(), area.top()), size), area).topLeft());
}

void PlacePadWindow() {
  TPadState& pad = Pad();
  if (!pad.capturing || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  QWidget* modal = QApplication::activeModalWidget();
  bool place = false;
  if (!pad.window) {
    pad.window = CreatePadWindow(modal);
    place = true;
  } else if (modal && pad.window->parentWidget() != modal) {
    pad.window->setParent(modal, Qt::Window);
    place = true;
  } else if (!modal && pad.window->parentWidget() && !pad.window->parentWidget()->isVisible()) {
    pad.window->setParent(nullptr, Qt::Window);
    place = true;
  }
  ShowDisplayLines();
  // Placed when it comes up or changes its window; where the operator moved it, it stays.
  if (place || !pad.window->isVisible()) {
    PlaceBeside(pad.window, modal);
    pad.window->show();
    // Shown, the window may have a frame around those bounds.
    PlaceBeside(pad.window, modal);
  }
  pad.window->raise();
}

void EndCapture() {
  TPadState& pad = Pad();
  pad.capturing = false;
  if (pad.watcher) {
    QCoreApplication::instance()->removeEventFilter(pad.watcher);
    pad.watcher->deleteLater();
  }
  // Only hidden: this may run inside a click on the window's own button.
  if (pad.window) pad.window->hide();
  // The next request sends its lines afresh.
  pad.lines.clear();
}

std::string Text(const char* text) {
  return text ? std::string(text, strnlen(text, kPadMaxText)) : std::string();
}

}  // namespace

// ---- the entry points the program calls ------------------------------------------------------

PAD_EXPORT void setLang(const char* language) { Pad().language = Text(language); }

PAD_EXPORT void RegisterBigButtonHandler(TPadButtonHandler handler) { Pad().big = handler; }

PAD_EXPORT void RegisterSmallButtonHandler(TPadButtonHandler handler) { Pad().small = handler; }

PAD_EXPORT void SetSignText(int line, const char* text) {
  if (line < 1 || line > 200) return;
  Pad().lines[line] = Text(text);
  ShowDisplayLines();
}

PAD_EXPORT void clearBioData() {
  Pad().samples.clear();
  if (Pad().writing) Pad().writing->ClearStrokes();
}

PAD_EXPORT int startCapture(const char*, int, int, int, int, const char*, int) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!qobject_cast<QApplication*>(app)) return 0;
  TPadState& pad = Pad();
  pad.capturing = true;
  pad.samples.clear();
  if (pad.writing) pad.writing->ClearStrokes();
  if (!pad.watcher) {
    pad.watcher = new TModalWatcher(app);
    app->installEventFilter(pad.watcher);
  }
  QMetaObject::invokeMethod(app, [] { PlacePadWindow(); }, Qt::QueuedConnection);
  return 1;
}

PAD_EXPORT int stopRead(unsigned char* status1, unsigned char* status2) {
  const std::uint32_t count = static_cast<std::uint32_t>(Pad().samples.size());
  if (status1) std::memcpy(status1, "VPAD1", kPadStatus1Size);
  if (status2) {
    std::memset(status2, 0, kPadStatus2Size);
    std::memcpy(status2, &count, sizeof count);
  }
  EndCapture();
  return 1;
}

PAD_EXPORT int getBioDataArray(void** handle) {
  if (!handle) return 0;
  auto* copy = new std::vector<TFrames>(Pad().samples);
  *handle = copy;
  return static_cast<int>(copy->size());
}

PAD_EXPORT const unsigned char* getBioDataArrayItem(void* handle, int index) {
  auto* samples = static_cast<std::vector<TFrames>*>(handle);
  if (!samples || index < 0 || static_cast<size_t>(index) >= samples->size()) return nullptr;
  return reinterpret_cast<const unsigned char*>(&(*samples)[static_cast<size_t>(index)]);
}

PAD_EXPORT void freeBioDataArray(void* handle) { delete static_cast<std::vector<TFrames>*>(handle); }

// ---- the rest of the driver's names: present, and inert ------------------------------------------

PAD_EXPORT int enumPorts() { return 0; }
PAD_EXPORT int setCom() { return 0; }
PAD_EXPORT int startRead() { return 0; }
PAD_EXPORT int checkCom() { return 0; }
PAD_EXPORT int getPID() { return 0; }
PAD_EXPORT int setPID() { return 0; }
PAD_EXPORT int setPadType() { return 0; }
PAD_EXPORT int framesAvailable() { return 0; }
PAD_EXPORT int getFrame() { return 0; }
PAD_EXPORT int isPadavAvailable() { return 0; }
PAD_EXPORT int unRegisterCanvas() { return 0; }
PAD_EXPORT int registerCanvas() { return 0; }
PAD_EXPORT int getPadSettings() { return 0; }
PAD_EXPORT int setPadSettings() { return 0; }
PAD_EXPORT int useWintabDevices() { return 0; }
PAD_EXPORT int setWintabTabletPCRegion() { return 0; }
PAD_EXPORT int setWintabCorpLic() { return 0; }
PAD_EXPORT int SetSignImage() { return 0; }
PAD_EXPORT int SetLCDMode() { return 0; }
PAD_EXPORT int ClearLCD() { return 0; }
PAD_EXPORT int SetLCDDefaultPictureOptions() { return 0; }
PAD_EXPORT int configurePad() { return 0; }
PAD_EXPORT int checkConnectedPad() { return 0; }
PAD_EXPORT int Is256Pad() { return 0; }
PAD_EXPORT int SetDriverOptions() { return 0; }
