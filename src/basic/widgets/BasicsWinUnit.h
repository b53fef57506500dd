#pragma once
// The same look for every input field of the program (editable light yellow, read-only
// white, disabled grey), combo boxes whose items carry record IDs, and safe focusing.

#include <cstdint>
#include <string>

class QComboBox;
class QWidget;

// Field colours as the program's colour values (blue-green-red).
constexpr std::uint32_t clFieldEditable = 0xD0FFFF;
constexpr std::uint32_t clFieldReadOnly = 0xFFFFFF;
constexpr std::uint32_t clFieldDisabled = 0xD0D0D0;

enum class TControlLook { Editable, ReadOnly, Disabled };
// The three kinds of input field that have a look; every other widget keeps its own.
enum class TFieldKind { None, LineEdit, ComboBox, TextEdit };

struct TFieldLook {
  bool enabled;
  bool readOnly;  // line edits and text edits; a combo box is read-only by being disabled
  std::uint32_t color;
};

TFieldKind FieldKindOf(const QWidget* control);
// The look of a field kind. A text edit has no disabled look: it is shown read-only.
TFieldLook FieldLook(TFieldKind kind, TControlLook look);
// Applies the look to the control; does nothing for widgets of no field kind.
void ApplyControlLook(QWidget* control, TControlLook look);

// Editable look when `editable`, else read-only.
void SetControlEditable(QWidget* control, bool editable);
// Line edits and combo boxes editable or disabled-grey; text edits as SetControlEditable.
void SetControlEditableOrDisabled(QWidget* control, bool editable);
// Line edits and combo boxes read-only-white when `readOnly`, else disabled-grey; text
// edits read-only.
void SetControlReadOnlyOrDisabled(QWidget* control, bool readOnly);

// Combo items carry the record ID of what they show.
void AddComboItem(QComboBox* combo, const std::string& text, std::int32_t id);
std::int32_t ComboItemId(const QComboBox* combo, int index);
// The ID of the selected item, or `defaultId` when nothing is selected.
std::int32_t GetComboId(const QComboBox* combo, std::int32_t defaultId);
// Selects the item with that ID; when no item has it, selects `index` if it is below the
// item count (-1 selects nothing).
void SetComboIdOrIndex(QComboBox* combo, std::int32_t id, int index);
// Keeps the selection when it already has the ID, else selects the first item with it,
// else selects nothing.
void SelectComboId(std::int32_t id, QComboBox* combo);
// For an ID other than 0 that an item has, selects that item; otherwise changes nothing.
void SelectComboIdIfPresent(QComboBox* combo, std::int32_t id);

// True when the control and every parent up to its window are enabled and visible.
bool CanFocusControl(const QWidget* control);
// Sets the focus only when CanFocusControl; returns whether it did.
bool FocusControlIfPossible(QWidget* control);
