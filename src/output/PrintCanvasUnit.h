#pragma once
// Where printouts are drawn. The print engine draws through IPrintCanvas: on a printer, on
// the preview's printer, on a PDF file (TPainterCanvas), or on a canvas that only records
// what it was given (TRecordingCanvas), so the engine's decisions are tested without any
// printer. Coordinates are device pixels from the page's printable top left; texts are
// Windows-1252.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <QFont>
#include <QImage>

class QFontMetricsF;
class QPaintDevice;
class QPainter;
class QPrinter;

struct TPrintFont {
  std::string name = "Verdana";
  int size = 10;  // points
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const TPrintFont&) const = default;
};

// The installed family for a font the printouts ask for: Verdana, else DejaVu Sans; Arial,
// else Liberation Sans; any other name as it is. Asked once per name and run.
std::string PrintFontFamily(const std::string& name);

class IPrintCanvas {
 public:
  virtual ~IPrintCanvas() = default;
  // The printable page in device pixels, and the device's pixels per inch.
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  virtual int ResolutionX() const = 0;
  virtual int ResolutionY() const = 0;

  virtual void SetFont(const TPrintFont& font) = 0;
  virtual const TPrintFont& Font() const = 0;
  virtual int TextWidth(const std::string& text) = 0;
  // The height of a line of the current font.
  virtual int TextHeight() = 0;

  // The text with its top left at (x, y).
  virtual void DrawText(int x, int y, const std::string& text) = 0;
  virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
  virtual void DrawPicture(int x, int y, int width, int height, const QImage& picture) = 0;

  // The next page; false when the device refused it (the job is broken off).
  virtual bool NewPage() = 0;
  // Ends the document (the job goes to the printer); false when the device failed.
  virtual bool End() = 0;
  // Breaks the job off; nothing more is printed.
  virtual void Abort() = 0;
};

// The widths the painter canvases measured are kept per font and resolution for the run,
// so the count, the preview and the printout of one list shape each text once. Forgets
// them (a benchmark's list printed for the first time).
void ForgetMeasuredTextWidths();

// A canvas on a printer (any QPrinter: a CUPS printer, a PDF file, the preview's). With
// `paint` a QPainter starts the job at once (Started() tells whether the device took it);
// without, the canvas only measures on the device, so a count of pages made on it agrees
// with the printout. The printer must outlive the canvas.
class TPainterCanvas : public IPrintCanvas {
 public:
  TPainterCanvas(QPrinter& printer, bool paint);
  ~TPainterCanvas() override;

  bool Started() const;
  // The current font as drawn, and its ascent on the device (pixels).
  const QFont& QtFont() const { return qfont_; }
  int Ascent();

  int PageWidth() const override { return pageWidth_; }
  int PageHeight() const override { return pageHeight_; }
  int ResolutionX() const override { return resX_; }
  int ResolutionY() const override { return resY_; }
  // Fixes the page size (the fallback page of 748 x 1090 pixels at 96 per inch).
  void SetPageSize(int width, int height);

  void SetFont(const TPrintFont& font) override;
  const TPrintFont& Font() const override { return font_; }
  int TextWidth(const std::string& text) override;
  int TextHeight() override;
  void DrawText(int x, int y, const std::string& text) override;
  void DrawLine(int x1, int y1, int x2, int y2) override;
  void DrawPicture(int x, int y, int width, int height, const QImage& picture) override;
  bool NewPage() override;
  bool End() override;
  void Abort() override;

 private:
  QPrinter& printer_;
  std::unique_ptr<QPainter> painter_;
  TPrintFont font_;
  QFont qfont_;
  std::unique_ptr<QFontMetricsF> metrics_;  // of the current font on the device
  std::unordered_map<std::string, int>* widths_ = nullptr;  // measured texts of that font
  int pageWidth_ = 0, pageHeight_ = 0, resX_ = 96, resY_ = 96;
  int height_ = -1;     // line height of the current font, measured once
  int ascent_ = 0;
};

// The pages of the preview: measured on the printer as the printout is (so the pages break
// where they will on paper), drawn into pictures of the page at 96 pixels per inch, white,
// 24-bit colour. `pageWidth`/`pageHeight` (device pixels) fix the page's size (the fallback
// page); 0 takes the printer's.
class TPreviewPageCanvas : public IPrintCanvas {
 public:
  explicit TPreviewPageCanvas(QPrinter& printer, int pageWidth = 0, int pageHeight = 0);
  ~TPreviewPageCanvas() override;

  int PageWidth() const override { return measure_.PageWidth(); }
  int PageHeight() const override { return measure_.PageHeight(); }
  int ResolutionX() const override { return measure_.ResolutionX(); }
  int ResolutionY() const override { return measure_.ResolutionY(); }
  void SetFont(const TPrintFont& font) override;
  const TPrintFont& Font() const override { return measure_.Font(); }
  int TextWidth(const std::string& text) override { return measure_.TextWidth(text); }
  int TextHeight() override { return measure_.TextHeight(); }
  void DrawText(int x, int y, const std::string& text) override;
  void DrawLine(int x1, int y1, int x2, int y2) override;
  void DrawPicture(int x, int y, int width, int height, const QImage& picture) override;
  bool NewPage() override;
  bool End() override;
  void Abort() override;

  // The pictures drawn so far (the canvas keeps none afterwards).
  std::vector<QImage> TakePages();

 private:
  void StartPicture();
  TPainterCanvas measure_;
  std::vector<QImage> pages_;
  std::unique_ptr<QPainter> painter_;
};

// The page of a printer without margins at 96 pixels per inch: what the program prints on
// when no printer is installed (a PDF into `fileName`, or nowhere when it is empty).
inline constexpr int kFallbackPageWidth = 748;
inline constexpr int kFallbackPageHeight = 1090;
std::unique_ptr<QPrinter> NewFallbackPrinter(bool landscape, const std::string& fileName);

// What a TRecordingCanvas was given.
struct TRecordedText {
  int x = 0;
  int y = 0;
  std::string text;
  TPrintFont font;
};
struct TRecordedPage {
  std::vector<TRecordedText> texts;
  int lines = 0;
  int pictures = 0;
};
struct TRecordedJob {
  std::string title;
  std::vector<TRecordedPage> pages;  // one entry per page started
  bool ended = false;
  bool aborted = false;
};

// Metrics proportional to the point size: every character is half an em wide
// (size x resolution / 144 pixels) and a line is 1.2 em high; bold and italic change
// nothing. Records texts with their positions per page into the job.
class TRecordingCanvas : public IPrintCanvas {
 public:
  TRecordingCanvas(TRecordedJob& job, int pageWidth, int pageHeight, int resolution);

  int PageWidth() const override { return pageWidth_; }
  int PageHeight() const override { return pageHeight_; }
  int ResolutionX() const override { return res_; }
  int ResolutionY() const override { return res_; }
  void SetFont(const TPrintFont& font) override { font_ = font; }
  const TPrintFont& Font() const override { return font_; }
  int TextWidth(const std::string& text) override;
  int TextHeight() override;
  void DrawText(int x, int y, const std::string& text) override;
  void DrawLine(int x1, int y1, int x2, int y2) override;
  void DrawPicture(int x, int y, int width, int height, const QImage& picture) override;
  bool NewPage() override;
  bool End() override;
  void Abort() override;

 private:
  TRecordedJob& job_;
  int pageWidth_, pageHeight_, res_;
  TPrintFont font_;
};
