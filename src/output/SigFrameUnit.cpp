#include "output/SigFrameUnit.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"

TSigFrame::TSigFrame(QWidget* parent) : QFrame(parent), canvas_(kSigImageWidth, kSigImageHeight) {
  setObjectName("SigFrame");
  Label1 = new QLabel(ToQString("Unterschrift"), this);
  Label1->setObjectName("Label1");
  Image = new QLabel(this);
  Image->setObjectName("Image");
  Image->setFixedSize(canvas_.Width(), canvas_.Height());
  Image->setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Label1);
  layout->addWidget(Image);
  Repaint();
  TranslateForm(this);
}

QImage TSigFrame::Picture() const {
  // The canvas' rows are packed (width * 3 bytes); the image reads them in place.
  return QImage(canvas_.Bits(), canvas_.Width(), canvas_.Height(), canvas_.BytesPerLine(),
                QImage::Format_RGB888)
      .copy();
}

void TSigFrame::Repaint() { Image->setPixmap(QPixmap::fromImage(Picture())); }

void TSigFrame::Clear() {
  canvas_.Clear();
  Repaint();
}

void TSigFrame::ShowSignature(const TSignaturePoints& points) {
  setVisible(true);
  DrawSignature(canvas_, points);
  Repaint();
}
