#pragma once
// The frame that shows a signature: a caption "Unterschrift" above a 24-bit picture of
// kSigImageWidth x kSigImageHeight pixels. The picture is drawn without Qt
// (data/SigDrawUnit.h) and shown through a QImage over the same pixels.

#include <QFrame>
#include <QImage>

#include "data/SigDrawUnit.h"

class QLabel;

class TSigFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TSigFrame(QWidget* parent = nullptr);

  // Fills the whole picture white.
  void Clear();
  // Makes the frame visible, fills the picture white, draws every point in order and
  // shows the result.
  void ShowSignature(const TSignaturePoints& points);

  // The picture as drawn (a copy).
  QImage Picture() const;
  const TSigCanvas& Canvas() const { return canvas_; }

  QLabel* Label1 = nullptr;
  QLabel* Image = nullptr;

 private:
  void Repaint();

  TSigCanvas canvas_;
};
