#include "app/FrameSizingUnit.h"

#include <algorithm>

#include <QWidget>

namespace {

FrameSizingItem* FindEntry(FrameSizingRec& rec, const QWidget* control) {
  if (!control) return nullptr;
  for (FrameSizingItem& e : rec.entries)
    if (e.control == control) return &e;
  return nullptr;
}

void Apply(FrameSizingRec& rec, FrameSizingItem& e) {
  if (e.done) return;
  e.done = true;  // set first: a cycle of anchors comes back here and stops
  QWidget* control = e.control;
  if (!control) return;
  QRect r = control->geometry();
  if (QWidget* anchor = e.below) {
    if (FrameSizingItem* a = FindEntry(rec, anchor)) Apply(rec, *a);
    r.moveTop(anchor->y() + anchor->height() + e.belowDistance);
  }
  if (QWidget* anchor = e.rightOf) {
    if (FrameSizingItem* a = FindEntry(rec, anchor)) Apply(rec, *a);
    r.moveLeft(anchor->x() + anchor->width() + e.rightOfDistance);
  }
  if (e.widthPercent > 0) r.setWidth(std::max(0, rec.widthChange * e.widthPercent / 100 + e.width));
  if (e.heightPercent > 0) r.setHeight(std::max(0, rec.heightChange * e.heightPercent / 100 + e.height));
  control->setGeometry(r);
}

}  // namespace

void FrameSizingSetDesign(FrameSizingRec& rec, int width, int height) {
  rec.designWidth = rec.currentWidth = width;
  rec.designHeight = rec.currentHeight = height;
  rec.widthChange = rec.heightChange = 0;
}

FrameSizingItem& FrameSizingEntry(FrameSizingRec& rec, QWidget* control) {
  if (FrameSizingItem* e = FindEntry(rec, control)) return *e;
  FrameSizingItem& e = rec.entries.emplace_back();
  e.control = control;
  if (control) {
    e.width = control->width();
    e.height = control->height();
  }
  return e;
}

void FrameSizingSetRightOf(FrameSizingItem& entry, QWidget* anchor) {
  entry.rightOf = anchor;
  if (entry.control && anchor)
    entry.rightOfDistance = entry.control->x() - anchor->x() - anchor->width();
}

void FrameSizingSetBelow(FrameSizingItem& entry, QWidget* anchor) {
  entry.below = anchor;
  if (entry.control && anchor) entry.belowDistance = entry.control->y() - anchor->y() - anchor->height();
}

void FrameSizingResize(FrameSizingRec& rec, int width, int height) {
  if (width == rec.designWidth && height == rec.designHeight) return;
  rec.currentWidth = width;
  rec.currentHeight = height;
  rec.widthChange = width - rec.designWidth;
  rec.heightChange = height - rec.designHeight;
  for (FrameSizingItem& e : rec.entries) e.done = false;
  for (FrameSizingItem& e : rec.entries) Apply(rec, e);
}
