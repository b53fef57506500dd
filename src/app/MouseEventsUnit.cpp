#include "app/MouseEventsUnit.h"

#include <algorithm>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QStringList>

#include "basic/widgets/QtGlue.h"

namespace {

constexpr std::uint32_t kHintColor = 0xE0FFFF;
constexpr std::uint32_t kLinkHoverColor = 0xFF0000;
constexpr std::uint32_t kLinkColor = 0x800000;

QStringList HintLines(const std::string& text) {
  QString s = ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (s.endsWith(QLatin1Char('\n'))) s.chop(1);
  return s.split(QLatin1Char('\n'));
}

void SetLabelLink(QWidget* control, std::uint32_t color, bool underline) {
  auto* label = qobject_cast<QLabel*>(control);
  if (!label) return;
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, ColorFromBgr(color));
  label->setPalette(pal);
  QFont font = label->font();
  font.setUnderline(underline);
  label->setFont(font);
}

}  // namespace

TMouseEventsControls::TMouseEventsControls(QObject* parent) : QObject(parent) {
  entries_.reserve(500);
}

TMouseEventsControls::~TMouseEventsControls() = default;

TMouseEventsControls::TEntry* TMouseEventsControls::Find(const QObject* control) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [control](const TEntry& e) { return e.key == control; });
  return it == entries_.end() ? nullptr : &*it;
}

const TMouseEventsControls::TEntry* TMouseEventsControls::Find(const QObject* control) const {
  return const_cast<TMouseEventsControls*>(this)->Find(control);
}

TMouseEventsControls::TEntry& TMouseEventsControls::Register(QWidget* control) {
  if (TEntry* e = Find(control)) return *e;
  entries_.push_back(TEntry{control, control, {}, {}, {}});
  control->installEventFilter(this);
  control->setMouseTracking(true);
  connect(control, &QObject::destroyed, this, &TMouseEventsControls::Forget);
  return entries_.back();
}

void TMouseEventsControls::Forget(QObject* control) {
  std::erase_if(entries_, [control](const TEntry& e) { return e.key == control; });
}

void TMouseEventsControls::AddControl(QWidget* control) {
  if (control) Register(control);
}

void TMouseEventsControls::AddControlTree(QWidget* control) {
  if (!control) return;
  Register(control);
  for (QObject* child : control->children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) AddControlTree(w);
}

void TMouseEventsControls::SetHandlers(QWidget* control, THoverAction enter, THoverAction leave) {
  if (!control) return;
  TEntry& e = Register(control);
  e.enter = std::move(enter);
  e.leave = std::move(leave);
}

void TMouseEventsControls::SetHint(QWidget* control, const std::string& text) {
  if (!control) return;
  TEntry& e = Register(control);
  HideHintPanel();
  e.hint = text;
}

void TMouseEventsControls::SetHint2(QWidget* control1, QWidget* control2, const std::string& text) {
  SetHint(control1, text);
  SetHint(control2, text);
}

void TMouseEventsControls::ClearHint2(QWidget* control1, QWidget* control2) {
  SetHint2(control1, control2, std::string());
}

void TMouseEventsControls::HideHintPanel() {
  if (panel_) panel_->hide();
  panelOwner_ = nullptr;
}

bool TMouseEventsControls::IsRegistered(const QWidget* control) const { return Find(control) != nullptr; }

std::string TMouseEventsControls::HintOf(const QWidget* control) const {
  const TEntry* e = Find(control);
  return e ? e->hint : std::string();
}

bool TMouseEventsControls::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Enter && type != QEvent::MouseMove && type != QEvent::Leave)
    return QObject::eventFilter(watched, event);  // paints and the like: no lookup
  auto* control = qobject_cast<QWidget*>(watched);
  if (control && Find(control)) {
    switch (type) {
      case QEvent::Enter:
        MouseOver(control, static_cast<QEnterEvent*>(event)->position().toPoint(), false);
        break;
      case QEvent::MouseMove:
        MouseOver(control, static_cast<QMouseEvent*>(event)->position().toPoint(), true);
        break;
      case QEvent::Leave:
        MouseLeft(control);
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void TMouseEventsControls::MouseOver(QWidget* control, const QPoint& pos, bool moved) {
  if (moved && control == panelOwner_ && panel_ && panel_->isVisible()) {
    const TEntry* e = Find(control);
    if (e) ShowHintPanel(control, pos, e->hint);
  }
  if (control == last_) return;
  HideHintPanel();
  if (last_) {
    if (const TEntry* prev = Find(last_); prev && prev->leave) prev->leave(last_);
  }
  last_ = control;
  // The actions may register controls (and so move entries): look the entry up afresh.
  if (const TEntry* e = Find(control); e && e->enter) e->enter(control);
  if (const TEntry* e = Find(control); e && !e->hint.empty() && control == last_)
    ShowHintPanel(control, pos, e->hint);
}

// Leaving a control ends its hover: otherwise a link-looking label would stay lit and its
// hint stay up until the mouse reached another registered control.
void TMouseEventsControls::MouseLeft(QWidget* control) {
  if (control != last_) return;
  HideHintPanel();
  last_ = nullptr;
  if (const TEntry* e = Find(control); e && e->leave) e->leave(control);
}

void TMouseEventsControls::ShowHintPanel(QWidget* control, const QPoint& pos, const std::string& text) {
  QWidget* form = control->window();
  if (!form) return;
  if (!panel_) {
    panel_ = new QFrame(form);
    panel_->setFrameShape(QFrame::Panel);
    panel_->setFrameShadow(QFrame::Raised);
    panel_->setLineWidth(2);
    panel_->setAutoFillBackground(true);
    QPalette pal = panel_->palette();
    pal.setColor(QPalette::Window, ColorFromBgr(kHintColor));
    panel_->setPalette(pal);
    panel_->setFont(QFont(QStringLiteral("Arial"), 9));
    panelText_ = new QLabel(panel_);
    panelText_->setTextFormat(Qt::PlainText);
    panelText_->setAutoFillBackground(true);
    panelText_->move(3, 1);
  } else if (panel_->parentWidget() != form) {
    panel_->setParent(form);
  }
  const QStringList lines = HintLines(text);
  const QFontMetrics metrics(panelText_->font());
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  panelText_->setText(lines.join(QLatin1Char('\n')));
  // One line is as high as the font's line for the characters double quote and comma.
  panelText_->resize(widest + 4, int(lines.size()) * metrics.boundingRect(QStringLiteral("\",")).height());
  panel_->resize(panelText_->geometry().right() + 1 + 2, panelText_->geometry().bottom() + 1 + 2);

  QPoint at = control->mapTo(form, pos) + QPoint(0, 20);
  if (at.x() + panel_->width() > form->width()) at.setX(form->width() - panel_->width());
  if (at.x() < 0) at.setX(0);
  panel_->move(at);
  panel_->show();
  panel_->raise();
  panelOwner_ = control;
}

TMouseEventsControls& MouseEventsControls() {
  static QPointer<TMouseEventsControls> instance;
  if (!instance) instance = new TMouseEventsControls(QCoreApplication::instance());
  return *instance;
}

void LinkLabelEnter(QWidget* control) { SetLabelLink(control, kLinkHoverColor, true); }
void LinkLabelLeave(QWidget* control) { SetLabelLink(control, kLinkColor, false); }

void SetLinkLook(TMouseEventsControls& events, QWidget* control) {
  events.SetHandlers(control, LinkLabelEnter, LinkLabelLeave);
}
