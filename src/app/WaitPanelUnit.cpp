#include "app/WaitPanelUnit.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "basic/widgets/QtGlue.h"

namespace {

constexpr int kMargin = 30;
constexpr int kBarHeight = 17;
constexpr int kMinBarWidth = 200;

QFont VerdanaFont(bool bold) {
  QFont font(QStringLiteral("Verdana"));
  font.setPointSize(10);
  font.setBold(bold);
  return font;
}

bool IsPlainContainer(const QWidget* w) {
  const QMetaObject* meta = w->metaObject();
  return meta == &QWidget::staticMetaObject || meta == &QFrame::staticMetaObject;
}

}  // namespace

TWaitPanel::TWaitPanel(QWidget* parent) : QFrame(parent) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ColorFromBgr(0x808000));
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  setFont(VerdanaFont(true));
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
}

void TWaitPanel::SetMax(int n) {
  max_ = n < 1 ? 0 : n;
  if (bar_) {
    bar_->setMaximum(max_);
    return;
  }
  if (max_ <= 0) return;
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  bar_->setRange(0, max_);
  bar_->setValue(std::min(position_, max_));
  int barWidth = width() - 2 * kMargin;
  if (barWidth < kMinBarWidth) {
    barWidth = kMinBarWidth;
    resize(kMinBarWidth + 2 * kMargin, height());
  }
  bar_->setGeometry(kMargin, textBottom_, barWidth, kBarHeight);
  bar_->show();
  if (cancelButton_) PlaceCancelButton();
  FitHeight();
}

void TWaitPanel::SetPosition(int n) {
  position_ = n < 1 ? 0 : n;
  if (bar_) bar_->setValue(std::min(position_, bar_->maximum()));
}

void TWaitPanel::AddCancelButton(const std::string& caption) {
  if (cancelButton_) return;
  cancelButton_ = new QPushButton(ToQString(caption), this);
  cancelButton_->setFont(VerdanaFont(false));
  const QFontMetrics metrics(cancelButton_->font());
  cancelButton_->resize(metrics.horizontalAdvance(cancelButton_->text()) + 20,
                        cancelButton_->sizeHint().height());
  connect(cancelButton_, &QPushButton::clicked, this, &TWaitPanel::CancelClicked);
  PlaceCancelButton();
  cancelButton_->show();
  FitHeight();
}

void TWaitPanel::PlaceCancelButton() {
  const int top = bar_ ? bar_->geometry().bottom() + 1 + kMargin : textBottom_;
  int left = (width() - cancelButton_->width()) / 2;
  if (left < kMargin) {
    left = kMargin;
    resize(cancelButton_->width() + 2 * kMargin, height());
    if (bar_) bar_->resize(width() - 2 * kMargin, bar_->height());
  }
  cancelButton_->move(left, top);
}

void TWaitPanel::FitHeight() {
  int h = textBottom_;
  if (cancelButton_) h = cancelButton_->geometry().bottom() + 1 + kMargin;
  else if (bar_) h = bar_->geometry().bottom() + 1 + kMargin;
  resize(width(), h);
  CenterInParent();
}

void TWaitPanel::CenterInParent() {
  if (QWidget* p = parentWidget()) move((p->width() - width()) / 2, (p->height() - height()) / 2);
}

void TWaitPanel::CancelClicked() {
  cancelled_ = true;
  cancelButton_->setEnabled(false);
  cancelButton_->repaint();
}

TWaitPanel* ShowWaitPanel(QWidget* parent, const std::string& text, const std::string& cancelCaption) {
  auto* panel = new TWaitPanel(parent);
  panel->label_ = new QLabel(panel);
  panel->label_->setTextFormat(Qt::PlainText);
  panel->label_->setText(ToQString(text));
  panel->label_->adjustSize();
  panel->label_->move(kMargin, kMargin);
  panel->resize(panel->label_->width() + 2 * kMargin, panel->label_->height() + 2 * kMargin);
  panel->textBottom_ = panel->label_->geometry().bottom() + 1 + kMargin;
  if (!cancelCaption.empty()) panel->AddCancelButton(cancelCaption);
  panel->FitHeight();
  panel->show();
  panel->raise();
  panel->repaint();
  return panel;
}

void DisableControls(QWidget* window, TDisabledControls& list) {
  if (!window) return;
  for (QObject* child : window->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow() || qobject_cast<TWaitPanel*>(w)) continue;
    if (IsPlainContainer(w)) {
      DisableControls(w, list);
    } else if (!w->testAttribute(Qt::WA_Disabled)) {
      w->setEnabled(false);
      list.emplace_back(w);
    }
  }
}

TDisabledControls DisableControls(QWidget* window) {
  TDisabledControls list;
  DisableControls(window, list);
  return list;
}

void EnableControls(QWidget* window, const TDisabledControls& list) {
  if (!window) return;
  for (QObject* child : window->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow()) continue;
    if (std::find(list.begin(), list.end(), w) != list.end()) w->setEnabled(true);
    if (IsPlainContainer(w)) EnableControls(w, list);
  }
}
