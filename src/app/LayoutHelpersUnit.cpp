#include "app/LayoutHelpersUnit.h"

#include <algorithm>

#include <QAbstractButton>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPointer>
#include <QProxyStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include "basic/widgets/QtGlue.h"

namespace {

QString WidgetText(const QWidget* control) {
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  return control->windowTitle();
}

void SetWidgetText(QWidget* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(text);
  else control->setWindowTitle(text);
}

}  // namespace

void FitCaptionFont(QWidget* control, const std::string& text) {
  if (!control) return;
  SetWidgetText(control, ToQString(text));
  FitCaptionFont2(control);
}

void FitCaptionFont2(QWidget* control) {
  if (!control) return;
  const QString text = WidgetText(control);
  QFont font = control->font();
  for (int size = 10; size >= 8; --size) {
    font.setPointSize(size);
    if (QFontMetrics(font).horizontalAdvance(text) <= control->width()) break;
  }
  control->setFont(font);
}

void CenterTextControl(QWidget* control, const std::string& text, const QWidget* reference) {
  if (!control || !reference) return;
  const QString q = ToQString(text);
  SetWidgetText(control, q);
  const int width = control->fontMetrics().horizontalAdvance(q) + 40;
  const QRect ref = reference->geometry();
  control->setGeometry(ref.x() + (ref.width() - width) / 2,
                       ref.y() + (ref.height() - control->height()) / 2, width,
                       control->height());
  control->show();
}

void StretchTextControl(QWidget* control, const QWidget* reference) {
  if (!control || !reference) return;
  const QRect ref = reference->geometry();
  control->setGeometry(ref.x() + 2, ref.y() + (ref.height() - control->height()) / 2,
                       ref.width() - 4, control->height());
}

void CollectSpeedButtons(QWidget* panel, std::vector<QWidget*>& list) {
  list.clear();
  if (!panel) return;
  list.push_back(panel);
  std::vector<QWidget*> buttons;
  for (QAbstractButton* button :
       panel->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
    buttons.push_back(button);
  std::stable_sort(buttons.begin(), buttons.end(), [](const QWidget* a, const QWidget* b) {
    return a->x() != b->x() ? a->x() < b->x() : a->y() < b->y();
  });
  list.insert(list.end(), buttons.begin(), buttons.end());
}

void ArrangeButtons(const std::vector<QWidget*>& list) {
  if (list.empty() || !list[0]) return;
  const QWidget* panel = list[0];
  std::vector<QWidget*> visible;
  for (size_t i = 1; i < list.size(); ++i)
    if (list[i] && !list[i]->isHidden()) visible.push_back(list[i]);
  const bool wide = static_cast<int>(visible.size()) * 80 <= panel->width();
  int x = 0;
  for (QWidget* button : visible) {
    int width = 80;
    if (!wide)
      width = std::max(60, button->fontMetrics().horizontalAdvance(WidgetText(button)) + 10);
    button->setGeometry(x, button->y(), width, button->height());
    x += width;
  }
}

void CenterInForm(QWidget* control) {
  if (!control || !control->parentWidget()) return;
  const QWidget* parent = control->parentWidget();
  control->move((parent->width() - control->width()) / 2,
                (parent->height() - control->height()) / 2);
}

void ShiftControlsBelow(QWidget* parent, int top, int distance) {
  if (!parent) return;
  for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (child->y() >= top) child->move(child->x(), child->y() + distance);
}

bool IsVerdanaInstalled() {
  return QFontDatabase::families().contains(QStringLiteral("Verdana"), Qt::CaseInsensitive);
}

namespace {

// The tab bar's padding beside each text: the style's own while the tabs fit, else what the
// tab widget's width leaves, at least kMinTabPadding.
class TFittingTabStyle : public QProxyStyle {
 public:
  explicit TFittingTabStyle(QTabWidget* tabs) : tabs_(tabs) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    const int own = QProxyStyle::pixelMetric(metric, option, widget);
    if (metric != PM_TabBarTabHSpace || !tabs_) return own;
    const QTabBar* bar = tabs_->tabBar();
    const QFontMetrics fm(bar->font());
    int count = 0;
    int texts = 0;
    for (int i = 0; i < bar->count(); ++i) {
      if (!bar->isTabVisible(i)) continue;
      ++count;
      texts += fm.horizontalAdvance(bar->tabText(i));
      if (!bar->tabIcon(i).isNull()) texts += bar->iconSize().width() + 4;
    }
    if (count == 0) return own;
    // The frame of the tab widget and the overlap of the selected tab take a few pixels.
    const int room = tabs_->width() - 8;
    return std::clamp((room - texts) / count, kMinTabPadding, std::max(own, kMinTabPadding));
  }

  static constexpr int kMinTabPadding = 8;

 private:
  QPointer<QTabWidget> tabs_;
};

// Lays the tabs out again when the tab widget's width changes.
class TTabRelayout : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize)
      if (auto* tabs = qobject_cast<QTabWidget*>(watched))
        tabs->tabBar()->setIconSize(tabs->tabBar()->iconSize());
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void FitTabsToWidth(QTabWidget* tabs) {
  if (!tabs) return;
  auto* style = new TFittingTabStyle(tabs);
  style->setParent(tabs->tabBar());
  tabs->tabBar()->setStyle(style);
  tabs->installEventFilter(new TTabRelayout(tabs));
}
