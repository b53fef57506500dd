#pragma once
// Hover behaviour for any control: a floating hint panel with a text of our own (several
// lines, following the mouse), and enter / leave actions such as the link look of labels.
// One object serves the whole program (MouseEventsControls()); it watches the registered
// controls through an event filter, so their own event handling runs unchanged.

#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QPoint>
#include <QPointer>

class QFrame;
class QLabel;
class QWidget;

using THoverAction = std::function<void(QWidget*)>;

class TMouseEventsControls : public QObject {
  Q_OBJECT
 public:
  explicit TMouseEventsControls(QObject* parent = nullptr);
  ~TMouseEventsControls() override;

  // Registers a control once (mouse tracking on, so the hint can follow the mouse).
  void AddControl(QWidget* control);
  // The control and, recursively, every widget inside it.
  void AddControlTree(QWidget* control);
  // Registers and sets both actions (either may be empty).
  void SetHandlers(QWidget* control, THoverAction enter, THoverAction leave);
  // Registers, hides the hint panel and sets the control's hint text ("" for none).
  void SetHint(QWidget* control, const std::string& text);
  void SetHint2(QWidget* control1, QWidget* control2, const std::string& text);
  void ClearHint2(QWidget* control1, QWidget* control2);
  void HideHintPanel();

  bool IsRegistered(const QWidget* control) const;
  std::string HintOf(const QWidget* control) const;
  // The control the mouse was last over (among the registered ones), or nullptr.
  QWidget* LastControl() const { return last_; }
  // The floating panel and its text, once they exist (for the owner's tests and looks).
  QFrame* HintPanel() const { return panel_; }
  QLabel* HintText() const { return panelText_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TEntry {
    QObject* key;  // the control's address, also valid while it is being destroyed
    QPointer<QWidget> control;
    THoverAction enter, leave;
    std::string hint;
  };
  TEntry* Find(const QObject* control);
  const TEntry* Find(const QObject* control) const;
  TEntry& Register(QWidget* control);
  void MouseOver(QWidget* control, const QPoint& pos, bool moved);
  void MouseLeft(QWidget* control);
  void ShowHintPanel(QWidget* control, const QPoint& pos, const std::string& text);
  void Forget(QObject* control);

  std::vector<TEntry> entries_;
  QPointer<QWidget> last_;
  QPointer<QFrame> panel_;
  QPointer<QLabel> panelText_;
  QPointer<QWidget> panelOwner_;  // the control the visible hint belongs to
};

// The program's one instance, created on first use and owned by the application object.
TMouseEventsControls& MouseEventsControls();

// The program's standard pair that makes a label look like a link: blue and underlined
// under the mouse, dark blue and plain otherwise. Other widgets are left as they are.
void LinkLabelEnter(QWidget* control);
void LinkLabelLeave(QWidget* control);
// SetHandlers with that pair.
void SetLinkLook(TMouseEventsControls& events, QWidget* control);
