#include "basic/widgets/BasicsWinUnit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>

#include "basic/widgets/QtGlue.h"

namespace {

void SetFieldColor(QWidget* control, std::uint32_t bgr) {
  const QColor color = ColorFromBgr(bgr);
  QPalette palette = control->palette();
  // Every colour group: a disabled field shows its grey, not the style's own.
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, color);
    palette.setColor(group, QPalette::Window, color);
  }
  control->setPalette(palette);
}

}  // namespace

TFieldKind FieldKindOf(const QWidget* control) {
  if (!control) return TFieldKind::None;
  if (qobject_cast<const QLineEdit*>(control)) return TFieldKind::LineEdit;
  if (qobject_cast<const QComboBox*>(control)) return TFieldKind::ComboBox;
  if (qobject_cast<const QTextEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control))
    return TFieldKind::TextEdit;
  return TFieldKind::None;
}

TFieldLook FieldLook(TFieldKind kind, TControlLook look) {
  if (kind == TFieldKind::TextEdit && look == TControlLook::Disabled) look = TControlLook::ReadOnly;
  const bool combo = kind == TFieldKind::ComboBox;
  switch (look) {
    case TControlLook::Editable: return {true, false, clFieldEditable};
    case TControlLook::ReadOnly: return {!combo, !combo, clFieldReadOnly};
    case TControlLook::Disabled: return {!combo, !combo, clFieldDisabled};
  }
  return {true, false, clFieldEditable};
}

void ApplyControlLook(QWidget* control, TControlLook look) {
  const TFieldKind kind = FieldKindOf(control);
  if (kind == TFieldKind::None) return;
  const TFieldLook l = FieldLook(kind, look);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setReadOnly(l.readOnly);
  if (auto* edit = qobject_cast<QTextEdit*>(control)) edit->setReadOnly(l.readOnly);
  if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) edit->setReadOnly(l.readOnly);
  control->setEnabled(l.enabled);
  SetFieldColor(control, l.color);
}

void SetControlEditable(QWidget* control, bool editable) {
  ApplyControlLook(control, editable ? TControlLook::Editable : TControlLook::ReadOnly);
}

void SetControlEditableOrDisabled(QWidget* control, bool editable) {
  ApplyControlLook(control, editable ? TControlLook::Editable : TControlLook::Disabled);
}

void SetControlReadOnlyOrDisabled(QWidget* control, bool readOnly) {
  ApplyControlLook(control, readOnly ? TControlLook::ReadOnly : TControlLook::Disabled);
}

void AddComboItem(QComboBox* combo, const std::string& text, std::int32_t id) {
  combo->addItem(ToQString(text), QVariant(static_cast<qint32>(id)));
}

std::int32_t ComboItemId(const QComboBox* combo, int index) {
  if (!combo || index < 0 || index >= combo->count()) return 0;
  return static_cast<std::int32_t>(combo->itemData(index).toInt());  // no data counts as 0
}

std::int32_t GetComboId(const QComboBox* combo, std::int32_t defaultId) {
  if (!combo || combo->currentIndex() < 0) return defaultId;
  return ComboItemId(combo, combo->currentIndex());
}

namespace {

int IndexOfId(const QComboBox* combo, std::int32_t id) {
  for (int i = 0; i < combo->count(); ++i) {
    if (ComboItemId(combo, i) == id) return i;
  }
  return -1;
}

}  // namespace

void SetComboIdOrIndex(QComboBox* combo, std::int32_t id, int index) {
  if (!combo) return;
  const int found = IndexOfId(combo, id);
  if (found >= 0) {
    combo->setCurrentIndex(found);
  } else if (index < combo->count()) {
    combo->setCurrentIndex(index < 0 ? -1 : index);
  }
}

void SelectComboId(std::int32_t id, QComboBox* combo) {
  if (!combo) return;
  if (combo->currentIndex() >= 0 && GetComboId(combo, 0) == id) return;
  combo->setCurrentIndex(IndexOfId(combo, id));
}

void SelectComboIdIfPresent(QComboBox* combo, std::int32_t id) {
  if (!combo || id == 0) return;
  const int found = IndexOfId(combo, id);
  if (found >= 0) combo->setCurrentIndex(found);
}

bool CanFocusControl(const QWidget* control) {
  for (const QWidget* w = control; w; w = w->parentWidget()) {
    if (!w->isEnabled() || !w->isVisible()) return false;
    if (w->isWindow()) return true;
  }
  return control != nullptr;
}

bool FocusControlIfPossible(QWidget* control) {
  if (!CanFocusControl(control)) return false;
  control->setFocus();
  return true;
}
