#include "app/PictureUnit.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include <QEvent>
#include <QPixmap>

#include "basic/FileCtrl2.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

// ---------------------------------------------------------------------------------------
// libjpeg glue. libjpeg reports fatal errors through error_exit, which by default prints and
// calls exit(); ours jumps back to the setjmp of the one function that drives the codec.
// Between that setjmp and any longjmp to it, the driving functions below hold no C++ object
// with a destructor: all state lives in a plain struct owned by the caller's frame, and the
// QImage that receives pixels is the caller's, reached through a pointer.

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool corrupt;  // a warning that means damaged image data
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  if (level >= 0) return;  // trace messages
  // libjpeg decodes damaged data with grey fill and only warns; a picture with holes in it
  // is not what the file held, so those warnings refuse the picture. Header oddities that do
  // not touch the pixels (unknown JFIF revision, Adobe transform code, extra bytes before a
  // marker) are accepted.
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
      err->corrupt = true;
      break;
    default:
      break;
  }
}

void JpegOutputMessage(j_common_ptr) {}  // no console output from a window program

void InitJpegError(TJpegError& err) {
  jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegEmitMessage;
  err.mgr.output_message = JpegOutputMessage;
  err.corrupt = false;
}

struct TJpegEncodeState {
  jpeg_compress_struct cinfo;
  TJpegError err;
  const unsigned char* pixels;  // RGB888 rows
  int width, height, stride, quality;
  unsigned char* out;
  unsigned long outSize;
};

bool EncodeJpegCore(TJpegEncodeState* st) {
  st->cinfo.err = &st->err.mgr;
  InitJpegError(st->err);
  if (setjmp(st->err.jump)) {
    jpeg_destroy_compress(&st->cinfo);
    return false;
  }
  jpeg_create_compress(&st->cinfo);
  jpeg_mem_dest(&st->cinfo, &st->out, &st->outSize);
  st->cinfo.image_width = static_cast<JDIMENSION>(st->width);
  st->cinfo.image_height = static_cast<JDIMENSION>(st->height);
  st->cinfo.input_components = 3;
  st->cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&st->cinfo);
  jpeg_set_quality(&st->cinfo, st->quality, TRUE);
  jpeg_start_compress(&st->cinfo, TRUE);
  while (st->cinfo.next_scanline < st->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(st->pixels + std::size_t(st->cinfo.next_scanline) * st->stride);
    jpeg_write_scanlines(&st->cinfo, &row, 1);
  }
  jpeg_finish_compress(&st->cinfo);
  jpeg_destroy_compress(&st->cinfo);
  return true;
}

struct TJpegDecodeState {
  jpeg_decompress_struct cinfo;
  TJpegError err;
  const unsigned char* data;
  unsigned long size;
  std::int64_t maxPixels;
  QImage* target;  // the caller's; receives an RGB888 picture
};

// Adobe writes CMYK JPEGs inverted (0 = full ink); that is what libjpeg hands out for
// them, so a channel times black over 255 gives the RGB value.
void CmykRowToRgb(const unsigned char* cmyk, unsigned char* rgb, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    for (int c = 0; c < 3; ++c) {
      int ink = inverted ? cmyk[c] : 255 - cmyk[c];
      int black = inverted ? cmyk[3] : 255 - cmyk[3];
      rgb[c] = static_cast<unsigned char>((ink * black + 127) / 255);
    }
  }
}

bool DecodeJpegCore(TJpegDecodeState* st) {
  st->cinfo.err = &st->err.mgr;
  InitJpegError(st->err);
  if (setjmp(st->err.jump)) {
    jpeg_destroy_decompress(&st->cinfo);
    return false;
  }
  jpeg_create_decompress(&st->cinfo);
  jpeg_mem_src(&st->cinfo, st->data, st->size);
  if (jpeg_read_header(&st->cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&st->cinfo);
    return false;
  }
  const std::int64_t pixels =
      std::int64_t(st->cinfo.image_width) * std::int64_t(st->cinfo.image_height);
  if (pixels <= 0 || pixels > st->maxPixels) {
    jpeg_destroy_decompress(&st->cinfo);
    return false;
  }
  const bool cmyk = st->cinfo.jpeg_color_space == JCS_CMYK || st->cinfo.jpeg_color_space == JCS_YCCK;
  st->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  st->cinfo.scale_num = 1;
  st->cinfo.scale_denom = 1;
  st->cinfo.dct_method = JDCT_ISLOW;
  st->cinfo.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&st->cinfo);
  const int width = static_cast<int>(st->cinfo.output_width);
  const int height = static_cast<int>(st->cinfo.output_height);
  *st->target = QImage(width, height, QImage::Format_RGB888);
  if (st->target->isNull()) {
    jpeg_destroy_decompress(&st->cinfo);
    return false;
  }
  JSAMPARRAY cmykRow = nullptr;
  if (cmyk)  // from libjpeg's pool: freed by jpeg_destroy_decompress, also after a jump
    cmykRow = (*st->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&st->cinfo),
                                             JPOOL_IMAGE, JDIMENSION(width) * 4, 1);
  while (st->cinfo.output_scanline < st->cinfo.output_height) {
    unsigned char* line = st->target->scanLine(static_cast<int>(st->cinfo.output_scanline));
    JSAMPROW row = cmyk ? cmykRow[0] : line;
    if (jpeg_read_scanlines(&st->cinfo, &row, 1) != 1) break;
    if (cmyk) CmykRowToRgb(cmykRow[0], line, width, st->cinfo.saw_Adobe_marker);
  }
  const bool complete = st->cinfo.output_scanline == st->cinfo.output_height;
  if (complete) jpeg_finish_decompress(&st->cinfo);
  jpeg_destroy_decompress(&st->cinfo);
  return complete && !st->err.corrupt;
}

QImage ToRgb24(const QImage& bitmap) {
  return bitmap.format() == QImage::Format_RGB888 ? bitmap
                                                   : bitmap.convertToFormat(QImage::Format_RGB888);
}

void MakeRgb24(QImage& bitmap) {
  if (bitmap.format() != QImage::Format_RGB888) bitmap = bitmap.convertToFormat(QImage::Format_RGB888);
}

bool HasJpegStart(const std::string& bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

// ---------------------------------------------------------------------------------------
// Scaling

// Each 2 x 2 block becomes one pixel. The last column (row) of an odd side is dropped, and a
// side of 1 pairs with itself, so no side ever becomes 0.
QImage Halve(const QImage& src) {
  const int w = src.width(), h = src.height();
  const int nw = std::max(1, w / 2), nh = std::max(1, h / 2);
  QImage dst(nw, nh, QImage::Format_RGB888);
  for (int y = 0; y < nh; ++y) {
    const uchar* r0 = src.constScanLine(std::min(2 * y, h - 1));
    const uchar* r1 = src.constScanLine(std::min(2 * y + 1, h - 1));
    uchar* out = dst.scanLine(y);
    for (int x = 0; x < nw; ++x) {
      const int x0 = std::min(2 * x, w - 1) * 3, x1 = std::min(2 * x + 1, w - 1) * 3;
      for (int c = 0; c < 3; ++c) {
        const int sum = r0[x0 + c] + r0[x1 + c] + r1[x0 + c] + r1[x1 + c];
        out[3 * x + c] = static_cast<uchar>((sum + (sum % 4 == 3 ? 1 : 0)) / 4);
      }
    }
  }
  return dst;
}

// Source index for target index i of n out of a side of `size`, by integer steps of size / n.
inline int SourceIndex(int i, int size, int n) {
  return static_cast<int>(std::min<std::int64_t>(std::int64_t(i) * size / n, size - 1));
}

QImage ScaleDownToFit(const QImage& src, int boxW, int boxH) {
  const int w = src.width(), h = src.height();
  const double factor = std::min({double(boxW) / w, double(boxH) / h, 1.0});
  int nw = static_cast<int>(w * factor);
  if (nw == boxW - 1) nw = boxW;
  int nh = static_cast<int>(h * factor);
  if (nh == boxH - 1) nh = boxH;
  nw = std::clamp(nw, 1, w);
  nh = std::clamp(nh, 1, h);

  // Horizontally: a target pixel whose source jumped by more than one pixel averages the
  // source pixel with its left neighbour, else it copies.
  QImage rows(nw, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    const uchar* in = src.constScanLine(y);
    uchar* out = rows.scanLine(y);
    int prev = 0;
    for (int x = 0; x < nw; ++x) {
      const int s = SourceIndex(x, w, nw);
      for (int c = 0; c < 3; ++c)
        out[3 * x + c] = (x > 0 && s - prev > 1)
                             ? static_cast<uchar>((in[3 * s + c] + in[3 * (s - 1) + c]) / 2)
                             : in[3 * s + c];
      prev = s;
    }
  }
  // Vertically the same with whole rows.
  QImage dst(nw, nh, QImage::Format_RGB888);
  int prev = 0;
  for (int y = 0; y < nh; ++y) {
    const int s = SourceIndex(y, h, nh);
    const uchar* a = rows.constScanLine(s);
    uchar* out = dst.scanLine(y);
    if (y > 0 && s - prev > 1) {
      const uchar* b = rows.constScanLine(s - 1);
      for (int i = 0; i < 3 * nw; ++i) out[i] = static_cast<uchar>((a[i] + b[i]) / 2);
    } else {
      std::memcpy(out, a, std::size_t(3) * nw);
    }
    prev = s;
  }
  return dst;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// JPEG

bool SaveBitmapAsJpeg(const QImage& bitmap, int quality, std::string& out) {
  out.clear();
  if (bitmap.isNull() || bitmap.width() < 1 || bitmap.height() < 1) return false;
  const QImage rgb = ToRgb24(bitmap);
  TJpegEncodeState st{};
  st.pixels = rgb.constBits();
  st.width = rgb.width();
  st.height = rgb.height();
  st.stride = static_cast<int>(rgb.bytesPerLine());
  st.quality = std::clamp(quality, 1, 100);
  const bool ok = EncodeJpegCore(&st);
  if (ok && st.out && st.outSize > 0) out.assign(reinterpret_cast<const char*>(st.out), st.outSize);
  std::free(st.out);  // jpeg_mem_dest takes its buffer from malloc and leaves it to us
  return ok && !out.empty();
}

void SaveBitmapAsJpegLimited(const QImage& bitmap, std::int64_t sizeLimit, std::string& out) {
  out.clear();
  for (int quality = 95; quality >= 11; quality -= 2) {
    if (!SaveBitmapAsJpeg(bitmap, quality, out)) return;
    if (sizeLimit < 1 || std::int64_t(out.size()) <= sizeLimit) return;
  }
}

bool SaveBitmapAsJpegFile(const QImage& bitmap, std::int64_t sizeLimit, const std::string& fileName) {
  std::string bytes;
  SaveBitmapAsJpegLimited(bitmap, sizeLimit, bytes);
  if (bytes.empty()) return false;
  int fd = -1;
  if (PfOpenReadWrite(fileName, true, fd) != 0) return false;
  const bool ok = PfTruncate(fd, 0) == 0 && PfWriteAll(fd, bytes.data(), bytes.size()) == 0;
  return PfClose(fd) == 0 && ok;
}

bool LoadJpegStringToBitmap(const std::string& bytes, QImage& bitmap, std::int64_t maxPixels) {
  if (!HasJpegStart(bytes)) return false;
  QImage decoded;
  TJpegDecodeState st{};
  st.data = reinterpret_cast<const unsigned char*>(bytes.data());
  st.size = static_cast<unsigned long>(bytes.size());
  st.maxPixels = maxPixels;
  st.target = &decoded;
  if (!DecodeJpegCore(&st)) return false;
  bitmap = std::move(decoded);
  return true;
}

bool LoadJpegFileToBitmap(const std::string& fileName, QImage& bitmap, std::int64_t maxPixels) {
  const std::int64_t size = GetFileSize64(fileName);
  if (size < kJpegFileMinBytes || size > kJpegFileMaxBytes) return false;
  std::string bytes;
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return false;
  // Read at most one byte more than allowed, so a file that grew meanwhile is refused too.
  bytes.resize(static_cast<std::size_t>(kJpegFileMaxBytes + 1));
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    std::size_t got = 0;
    ok = PfRead(fd, bytes.data() + done, bytes.size() - done, got) == 0;
    if (got == 0) break;
    done += got;
  }
  PfClose(fd);
  if (!ok || done < std::size_t(kJpegFileMinBytes) || done > std::size_t(kJpegFileMaxBytes)) return false;
  bytes.resize(done);
  return LoadJpegStringToBitmap(bytes, bitmap, maxPixels);
}

// ---------------------------------------------------------------------------------------
// Scaling, turning, gradients

bool ScaleBitmapToBox(QImage& bitmap, int maxWidth, int maxHeight) {
  if (maxWidth < 1 || maxHeight < 1 || bitmap.isNull() || bitmap.width() < 1 || bitmap.height() < 1)
    return false;
  if (bitmap.width() <= maxWidth && bitmap.height() <= maxHeight) return false;
  QImage img = ToRgb24(bitmap);
  // Every pass shrinks a side that is too large; 64 passes are far more than any picture needs.
  for (int pass = 0; pass < 64 && (img.width() > maxWidth || img.height() > maxHeight); ++pass) {
    const double f = std::min({double(maxWidth) / img.width(), double(maxHeight) / img.height(), 1.0});
    if (f <= 0.25 || f == 0.5) {
      img = Halve(img);
    } else if (f < 0.5) {
      img = Halve(ScaleDownToFit(img, 2 * maxWidth, 2 * maxHeight));
    } else {
      img = ScaleDownToFit(img, maxWidth, maxHeight);
    }
  }
  bitmap = std::move(img);
  return true;
}

void RotateBitmapRight(QImage& bitmap) {
  MakeRgb24(bitmap);
  const int ow = bitmap.width(), oh = bitmap.height();
  QImage turned(oh, ow, QImage::Format_RGB888);
  for (int y = 0; y < ow; ++y) {
    uchar* out = turned.scanLine(y);
    for (int x = 0; x < oh; ++x)
      std::memcpy(out + 3 * x, bitmap.constScanLine(oh - 1 - x) + 3 * y, 3);
  }
  bitmap = std::move(turned);
}

void RotateBitmapLeft(QImage& bitmap) {
  MakeRgb24(bitmap);
  const int ow = bitmap.width(), oh = bitmap.height();
  QImage turned(oh, ow, QImage::Format_RGB888);
  for (int y = 0; y < ow; ++y) {
    uchar* out = turned.scanLine(y);
    for (int x = 0; x < oh; ++x)
      std::memcpy(out + 3 * x, bitmap.constScanLine(x) + 3 * (ow - 1 - y), 3);
  }
  bitmap = std::move(turned);
}

void FillGradient(QImage& bitmap, std::uint32_t topColor, std::uint32_t bottomColor) {
  MakeRgb24(bitmap);
  const int h = bitmap.height();
  if (h <= 0) return;
  const int top[3] = {int(topColor & 0xFF), int((topColor >> 8) & 0xFF), int((topColor >> 16) & 0xFF)};
  const int bottom[3] = {int(bottomColor & 0xFF), int((bottomColor >> 8) & 0xFF),
                         int((bottomColor >> 16) & 0xFF)};
  std::int32_t value[3], step[3];
  for (int c = 0; c < 3; ++c) {
    value[c] = top[c] * 65536;
    step[c] = (bottom[c] - top[c]) * 65536 / h;
  }
  for (int y = 0; y < h; ++y) {
    uchar* row = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x)
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uchar>(value[c] >> 16);
    for (int c = 0; c < 3; ++c) value[c] += step[c];
  }
}

TGradientImage::TGradientImage(QWidget* parent, int height, std::uint32_t topColor,
                               std::uint32_t bottomColor)
    : QLabel(parent), bitmap_(16, std::max(height, 1), QImage::Format_RGB888) {
  FillGradient(bitmap_, topColor, bottomColor);
  setScaledContents(true);
  setPixmap(QPixmap::fromImage(bitmap_));
  if (parent) {
    setGeometry(parent->rect());
    parent->installEventFilter(this);
  }
  lower();
}

bool TGradientImage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QLabel::eventFilter(watched, event);
}

TGradientImage* CreateGradientImage(QWidget* parent, int height, std::uint32_t topColor,
                                    std::uint32_t bottomColor) {
  auto* image = new TGradientImage(parent, height, topColor, bottomColor);
  image->show();
  return image;
}
