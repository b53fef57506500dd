#include "basic/widgets/QtUserInteraction.h"

#include <utility>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "basic/MsgDlgUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

namespace {

// One button of a box: its caption and the result it ends the box with (0 = like closing).
struct TButtonSpec {
  std::string caption;
  int result;
};

struct TBoxSpec {
  QStyle::StandardPixmap icon;
  std::string title;
  std::string text;
  std::vector<TButtonSpec> buttons;
  bool translate = true;
};

QString BoxText(const std::string& text) {
  // The program ends lines with CR LF or a lone CR; a label wants LF.
  QString s = ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

void CenterOn(QDialog& dialog, QWidget* owner) {
  dialog.adjustSize();
  if (!owner) return;
  QWidget* window = owner->window();
  const QPoint centre = window->mapToGlobal(window->rect().center());
  dialog.move(centre - QPoint(dialog.width() / 2, dialog.height() / 2));
}

// Builds the box, runs it modally and returns the result of the button pressed (0 when
// closed). `edit` receives the input field when `withEdit`.
int RunBox(QWidget* owner, TBoxSpec spec, bool withEdit, const std::string& editText,
           bool editable, std::string* edited) {
  if (spec.translate) {
    TMsgDlgTexts texts{spec.title, spec.text, {}};
    for (const TButtonSpec& b : spec.buttons) texts.buttons.push_back(b.caption);
    TranslateMsgDlg(texts);
    spec.title = texts.title;
    spec.text = texts.text;
    for (size_t i = 0; i < spec.buttons.size() && i < texts.buttons.size(); ++i)
      spec.buttons[i].caption = texts.buttons[i];
  }

  QDialog dialog(owner);
  dialog.setWindowTitle(ToQString(spec.title));
  dialog.setModal(true);

  auto* icon = new QLabel(&dialog);
  const int size = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
  icon->setPixmap(dialog.style()->standardIcon(spec.icon, nullptr, &dialog).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);

  auto* label = new QLabel(&dialog);
  label->setTextFormat(Qt::PlainText);  // a text from a record must not be read as markup
  label->setText(BoxText(spec.text));
  label->setWordWrap(true);
  label->setMinimumWidth(280);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);

  QLineEdit* edit = nullptr;
  auto* textColumn = new QVBoxLayout;
  textColumn->addWidget(label);
  if (withEdit) {
    edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("inputEdit"));
    edit->setText(ToQString(editText));
    edit->setMinimumWidth(160);
    edit->setReadOnly(!editable);
    textColumn->addWidget(edit);
  }
  textColumn->addStretch();

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addLayout(textColumn, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  bool first = true;
  for (const TButtonSpec& b : spec.buttons) {
    auto* button = new QPushButton(ToQString(b.caption), &dialog);
    if (first) button->setDefault(true);
    first = false;
    const int result = b.result;
    QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, result] {
      if (result == 0)
        dialog.reject();
      else
        dialog.done(result);
    });
    buttonRow->addWidget(button);
  }

  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(top);
  layout->addLayout(buttonRow);

  CenterOn(dialog, owner);
  if (edit && editable) edit->setFocus();

  const int result = ExecModal(dialog);
  if (edit && edited) *edited = FromQString(edit->text());
  return result;
}

QStyle::StandardPixmap IconOf(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::Info: return QStyle::SP_MessageBoxInformation;
    case TMsgKind::Error:
    case TMsgKind::ErrorConfirmation: return QStyle::SP_MessageBoxCritical;
    case TMsgKind::Confirmation: return QStyle::SP_MessageBoxQuestion;
  }
  return QStyle::SP_MessageBoxInformation;
}

std::string TitleOf(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::Info: return MsgDlgText(mdtInformation);
    case TMsgKind::Error:
    case TMsgKind::ErrorConfirmation: return MsgDlgText(mdtError);
    case TMsgKind::Confirmation: return MsgDlgText(mdtConfirmation);
  }
  return "";
}

}  // namespace

TQtUserInteraction::TQtUserInteraction(QWidget* mainWindow) : mainWindow_(mainWindow) {}

QWidget* TQtUserInteraction::Owner() const {
  if (mainWindow_) return mainWindow_.data();
  return QApplication::activeWindow();
}

void TQtUserInteraction::ShowMessage(TMsgKind kind, const std::string& text) {
  RunBox(Owner(), {IconOf(kind), TitleOf(kind), text, {{MsgDlgText(mdtOk), mrOk}}}, false, "",
         false, nullptr);
}

int TQtUserInteraction::Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) {
  const bool yesNo = buttons == TAskButtons::YesNo;
  TBoxSpec spec{IconOf(kind), TitleOf(kind), text, {{MsgDlgText(mdtYes), mrYes}}};
  spec.buttons.push_back(yesNo ? TButtonSpec{MsgDlgText(mdtNo), mrNo}
                               : TButtonSpec{MsgDlgText(mdtCancel), mrCancel});
  const int result = RunBox(Owner(), std::move(spec), false, "", false, nullptr);
  // Closing the box is the safe answer.
  if (result == mrYes || result == mrNo || result == mrCancel) return result;
  return yesNo ? mrNo : mrCancel;
}

int TQtUserInteraction::AskButtons(const std::string& text, const std::string& caption1,
                                   const std::string& caption2, bool withCancel,
                                   const std::string& caption3) {
  TBoxSpec spec{QStyle::SP_MessageBoxQuestion, MsgDlgText(mdtConfirmation), text, {}};
  spec.translate = false;  // the captions are the caller's, already in the user's language
  if (!caption1.empty()) spec.buttons.push_back({caption1, 1});
  if (!caption2.empty()) spec.buttons.push_back({caption2, 2});
  if (!caption3.empty()) spec.buttons.push_back({caption3, 3});
  if (withCancel) spec.buttons.push_back({MsgDlgText(mdtCancel), 0});
  if (spec.buttons.empty()) return 0;
  const int result = RunBox(Owner(), std::move(spec), false, "", false, nullptr);
  return (result >= 1 && result <= 3) ? result : 0;
}

bool TQtUserInteraction::InputText(const std::string& prompt, std::string& value, bool editable) {
  TBoxSpec spec{QStyle::SP_MessageBoxInformation,
                MsgDlgText(editable ? mdtInput : mdtInformation), prompt,
                {{MsgDlgText(mdtOk), mrOk}}};
  if (editable) spec.buttons.push_back({MsgDlgText(mdtCancel), 0});
  std::string edited;
  const int result = RunBox(Owner(), std::move(spec), true, value, editable, &edited);
  if (result != mrOk) return false;
  if (editable) value = edited;
  return true;
}

void TQtUserInteraction::ProcessPendingEvents() { QCoreApplication::processEvents(); }
