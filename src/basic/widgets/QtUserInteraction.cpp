#include "basic/widgets/QtUserInteraction.h"

#include <algorithm>
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

#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

namespace {

// One button of a box: its caption and the result it ends the box with (0 = like closing).
// A caption the caller gave is already in the user's language and is not translated.
struct TButtonSpec {
  std::string caption;
  int result;
  bool translate = true;
};

// Title and standard buttons are given as their German defaults; TranslateMsgDlg turns them,
// and the text unless `translateText` is off, into the current language.
struct TBoxSpec {
  QStyle::StandardPixmap icon;
  std::string title;
  std::string text;
  std::vector<TButtonSpec> buttons;
  bool translateText = true;
};

QString BoxText(const std::u16string& text) {
  // The program ends lines with CR LF or a lone CR; a label wants LF.
  QString s = QString::fromStdU16String(text);
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

bool AnyWindowStaysOnTop(const QWidget* except) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != except && w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint)) return true;
  return false;
}

// Builds the box, runs it modally and returns the result of the button pressed (0 when
// closed). `edit` receives the input field when `withEdit`.
int RunBox(QWidget* owner, TBoxSpec spec, bool withEdit, const std::string& editText,
           bool editable, std::string* edited) {
  // Everything to translate goes through the one hook at once; the rest is shown as given.
  TMsgDlgTexts texts{Cp1252ToUtf16(spec.title),
                     spec.translateText ? Cp1252ToUtf16(spec.text) : std::u16string(), {}};
  for (const TButtonSpec& b : spec.buttons)
    if (b.translate) texts.buttons.push_back(Cp1252ToUtf16(b.caption));
  TranslateMsgDlg(texts);
  const std::u16string text = spec.translateText ? texts.text : Cp1252ToUtf16(spec.text);
  std::vector<QString> captions;
  size_t translated = 0;
  for (const TButtonSpec& b : spec.buttons) {
    if (b.translate && translated < texts.buttons.size())
      captions.push_back(QString::fromStdU16String(texts.buttons[translated++]));
    else
      captions.push_back(ToQString(b.caption));
  }

  QDialog dialog(owner);
  dialog.setWindowTitle(QString::fromStdU16String(texts.title));
  dialog.setModal(true);

  auto* icon = new QLabel(&dialog);
  const int size = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
  icon->setPixmap(dialog.style()->standardIcon(spec.icon, nullptr, &dialog).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);

  auto* label = new QLabel(&dialog);
  label->setTextFormat(Qt::PlainText);  // a text from a record must not be read as markup
  label->setText(BoxText(text));
  // A text with its own line breaks keeps them: the box is as wide as its longest line, and
  // only a line wider than a comfortable box is wrapped.
  constexpr int kWidestLine = 640;
  int widest = 0;
  const QFontMetrics metrics(label->font());
  for (const QString& line : label->text().split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  label->setWordWrap(widest > kWidestLine);
  label->setMinimumWidth(std::clamp(widest, 280, kWidestLine));
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
  for (size_t i = 0; i < spec.buttons.size(); ++i) {
    auto* button = new QPushButton(captions[i], &dialog);
    if (i == 0) button->setDefault(true);
    const int result = spec.buttons[i].result;
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
  // A box under a window that stays on top (the record generator, the remembered records)
  // would be hidden by it while it blocks every click elsewhere: the program would look
  // hung. The box then stays on top itself.
  if (AnyWindowStaysOnTop(&dialog)) dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);

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
    case TMsgKind::Warning: return QStyle::SP_MessageBoxWarning;
  }
  return QStyle::SP_MessageBoxInformation;
}

std::string TitleOf(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::Info: return MsgDlgSourceText(mdtInformation);
    case TMsgKind::Error:
    case TMsgKind::ErrorConfirmation: return MsgDlgSourceText(mdtError);
    case TMsgKind::Confirmation: return MsgDlgSourceText(mdtConfirmation);
    case TMsgKind::Warning: return MsgDlgSourceText(mdtWarning);
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
  RunBox(Owner(), {IconOf(kind), TitleOf(kind), text, {{MsgDlgSourceText(mdtOk), mrOk}}}, false,
         "", false, nullptr);
}

void TQtUserInteraction::ShowCaptionedMessage(TMsgKind kind, const std::string& caption,
                                              const std::string& text) {
  RunBox(Owner(), {IconOf(kind), caption, text, {{MsgDlgSourceText(mdtOk), mrOk}}}, false, "",
         false, nullptr);
}

int TQtUserInteraction::Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) {
  const bool yesNo = buttons == TAskButtons::YesNo;
  TBoxSpec spec{IconOf(kind), TitleOf(kind), text, {{MsgDlgSourceText(mdtYes), mrYes}}};
  spec.buttons.push_back(yesNo ? TButtonSpec{MsgDlgSourceText(mdtNo), mrNo}
                               : TButtonSpec{MsgDlgSourceText(mdtCancel), mrCancel});
  const int result = RunBox(Owner(), std::move(spec), false, "", false, nullptr);
  // Closing the box is the safe answer.
  if (result == mrYes || result == mrNo || result == mrCancel) return result;
  return yesNo ? mrNo : mrCancel;
}

int TQtUserInteraction::AskButtons(const std::string& text, const std::string& caption1,
                                   const std::string& caption2, bool withCancel,
                                   const std::string& caption3) {
  TBoxSpec spec{QStyle::SP_MessageBoxQuestion, MsgDlgSourceText(mdtConfirmation), text, {}};
  // The text and the captions are the caller's, already in the user's language.
  spec.translateText = false;
  if (!caption1.empty()) spec.buttons.push_back({caption1, 1, false});
  if (!caption2.empty()) spec.buttons.push_back({caption2, 2, false});
  if (!caption3.empty()) spec.buttons.push_back({caption3, 3, false});
  if (withCancel) spec.buttons.push_back({MsgDlgSourceText(mdtCancel), 0});
  if (spec.buttons.empty()) return 0;
  const int result = RunBox(Owner(), std::move(spec), false, "", false, nullptr);
  return (result >= 1 && result <= 3) ? result : 0;
}

bool TQtUserInteraction::InputText(const std::string& prompt, std::string& value, bool editable) {
  TBoxSpec spec{QStyle::SP_MessageBoxInformation,
                MsgDlgSourceText(editable ? mdtInput : mdtInformation), prompt,
                {{MsgDlgSourceText(mdtOk), mrOk}}};
  if (editable) spec.buttons.push_back({MsgDlgSourceText(mdtCancel), 0});
  std::string edited;
  const int result = RunBox(Owner(), std::move(spec), true, value, editable, &edited);
  if (result != mrOk) return false;
  if (editable) value = edited;
  return true;
}

void TQtUserInteraction::ProcessPendingEvents() { QCoreApplication::processEvents(); }
