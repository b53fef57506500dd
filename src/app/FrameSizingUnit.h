#pragma once
// Proportional resizing of a frame's controls by anchoring: each registered control may sit
// below one control and right of another at a fixed distance, and grow by a percentage of
// the frame's change against its design size. Anchors are placed before their dependents.

#include <deque>

#include <QPointer>

class QWidget;

struct FrameSizingItem {
  QPointer<QWidget> control;
  int width = 0, height = 0;  // at registration
  QPointer<QWidget> below;    // sits below this control ...
  int belowDistance = 0;      // ... this far from its bottom edge
  QPointer<QWidget> rightOf;  // sits right of this control ...
  int rightOfDistance = 0;    // ... this far from its right edge
  int widthPercent = 0;       // share of the frame's width change; 0 keeps the width
  int heightPercent = 0;
  bool done = false;
};

struct FrameSizingRec {
  int designWidth = 0, designHeight = 0;
  int currentWidth = 0, currentHeight = 0;
  int widthChange = 0, heightChange = 0;
  // A deque, so an entry stays where it is while others are added.
  std::deque<FrameSizingItem> entries;
};

// Takes the frame's size at layout time as its design size.
void FrameSizingSetDesign(FrameSizingRec& rec, int width, int height);
// The control's entry; a new one (with the control's current size) when it has none.
FrameSizingItem& FrameSizingEntry(FrameSizingRec& rec, QWidget* control);
// Distance := control left - anchor left - anchor width.
void FrameSizingSetRightOf(FrameSizingItem& entry, QWidget* anchor);
// Distance := control top - anchor top - anchor height.
void FrameSizingSetBelow(FrameSizingItem& entry, QWidget* anchor);
// Applies the entries to a frame size; nothing happens at the design size. Each entry is
// applied once; an anchor that has an entry is applied before the controls anchored to it,
// and a cycle of anchors stops at the entry already done.
void FrameSizingResize(FrameSizingRec& rec, int width, int height);
