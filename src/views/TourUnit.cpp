#include "views/TourUnit.h"

#include <algorithm>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "app/GlueStateUnit.h"
#include "app/ListingFrameUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"

const TMLStringList* TourTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TourUnit", 0);
    t->Add255Obj("Weiter", 1);
    t->Add255Obj("Beenden", 2);
    return t;
  }();
  return table;
}

namespace {

constexpr int kMarkThickness = 12;
constexpr int kPanelWidth = 700;
constexpr int kLineHeight = 24;

// The steps: what each shows, selects and frames. The names are the controls' object names
// on the page of the view.
const TTourStep kSteps[kTourStepCount] = {
    {-1, -1, -1, "", "", false, 2},
    {pgKeys, pgPersons, -1, "", "", false, 2},
    {pgKeys, -1, pgKeys, "ListingFrame", "", false, 2},
    {pgKeys, pgKeys, pgKeys, "EdPanel", "", false, 2},
    {pgKeys, -1, pgKeys, "BtnPanel", "", false, 2},
    {pgKeys, -1, pgKeys, "TransferBtn", "", false, 2},
    {pgPersons, -1, pgPersons, "ListingFrame", "EdPanel", false, 2},
    {pgPersons, -1, pgPersons, "MaNameEd", "KeyGrid", false, 0},
    {pgPersons, -1, pgPersons, "ZugangPageControl", "", false, 0},
    {pgPersons, -1, -1, "", "", true, 0},
    {pgDoors, pgDoors, -1, "", "", false, 2},
    {pgCylinders, pgCylinders, pgCylinders, "LinkPageControl", "", false, 0},
    {pgKeys, -1, -1, "", "", false, 1},
    {-1, -1, -1, "", "", false, 1},
};

QPointer<TTour>& TourSlot() {
  static QPointer<TTour> tour;
  return tour;
}

QWidget* PageWidget(int page) {
  QTabWidget* pages = WinGlue().PageControl.data();
  return pages && page >= 0 && page < pages->count() ? pages->widget(page) : nullptr;
}

}  // namespace

const TTourStep& TourStep(int step) {
  return kSteps[std::clamp(step, 0, kTourStepCount - 1)];
}

TTour::TTour(QWidget* mainWindow, std::unique_ptr<tMLSystem> texts)
    : QObject(mainWindow), main_(mainWindow), texts_(std::move(texts)) {
  panel_ = new QFrame(mainWindow);
  panel_->setObjectName("TourPanel");
  panel_->setFrameShape(QFrame::Box);
  panel_->setAutoFillBackground(true);
  panel_->setStyleSheet("#TourPanel { background: #FFFFE1; border: 2px solid #C56A31; }"
                        "QLabel { font-family: Arial; font-weight: bold; }");
  nextBtn_ = new QPushButton(panel_);
  nextBtn_->setObjectName("TourNextBtn");
  nextBtn_->setDefault(true);
  endBtn_ = new QPushButton(panel_);
  endBtn_->setObjectName("TourEndBtn");
  connect(nextBtn_, &QPushButton::clicked, this, [this] { Next(); });
  connect(endBtn_, &QPushButton::clicked, this, [this] { End(); });
  for (QFrame*& m : marks_) {
    m = new QFrame(mainWindow);
    m->setObjectName("TourMark");
    m->setStyleSheet("background: #FF0000;");
    m->resize(kMarkThickness, kMarkThickness);
    m->hide();
  }
  panel_->hide();
}

TTour::~TTour() {
  // The panel and the bars belong to the main window; they go with the tour.
  delete panel_;
  for (QFrame* m : marks_) delete m;
}

std::string TTour::StepText(int step) const {
  // The user may have switched language since the texts were loaded.
  if (tMLSystem* global = MLSystemOrNull()) texts_->SetCurrentLanguage(global->CurrentLanguage());
  return texts_->GetTextCR(step + 1);
}

std::vector<std::string> TTour::Lines() const {
  std::vector<std::string> lines;
  for (const QLabel* l : labels_) lines.push_back(FromQString(l->text()));
  return lines;
}

bool TTour::Visible() const { return panel_->isVisible(); }

QRect TTour::MarkedRect() const { return MarksVisible() ? marked_ : QRect(); }

bool TTour::MarksVisible() const { return marks_[0]->isVisible(); }

QWidget* TTour::Find(int page, const char* name) const {
  if (!name || !*name) return nullptr;
  QWidget* pageWidget = PageWidget(page);
  QWidget* found = pageWidget ? pageWidget->findChild<QWidget*>(name) : nullptr;
  return found && found->isVisible() ? found : nullptr;
}

void TTour::HideMarks() {
  for (QFrame* m : marks_) m->hide();
  marked_ = QRect();
}

void TTour::Mark(const TTourStep& s) {
  HideMarks();
  QWidget* from = Find(s.markPage, s.markFrom);
  if (!from || !main_) return;
  QWidget* to = *s.markTo ? Find(s.markPage, s.markTo) : from;
  if (!to) return;
  auto rectOf = [this](QWidget* w) {
    return QRect(w->mapTo(main_.data(), QPoint(0, 0)), w->size());
  };
  const QRect r = rectOf(from).united(rectOf(to));
  const int t = kMarkThickness;
  marks_[0]->setGeometry(r.left() - t, r.top() - t, r.width() + 2 * t, t);
  marks_[1]->setGeometry(r.left() - t, r.top(), t, r.height());
  marks_[2]->setGeometry(r.right() + 1, r.top(), t, r.height());
  marks_[3]->setGeometry(r.left() - t, r.bottom() + 1, r.width() + 2 * t, t);
  for (QFrame* m : marks_) {
    m->show();
    m->raise();
  }
  marked_ = r;
}

void TTour::ShowStep() {
  if (!main_) return;
  const TTourStep& s = TourStep(step_);
  if (s.page >= 0) ShowPage(s.page, true);
  if (s.selectPage >= 0)
    if (QWidget* page = PageWidget(s.selectPage))
      if (auto* listing = dynamic_cast<TListingFrame*>(page->findChild<QWidget*>("ListingFrame")))
        listing->SelectFirst();
  // The buttons and the text in the user's language of the moment: one label per line.
  nextBtn_->setText(ToQString(GetMLText(TourTexts(), 1)));
  endBtn_->setText(ToQString(GetMLText(TourTexts(), 2)));
  for (QPushButton* b : {nextBtn_, endBtn_}) b->resize(120, b->sizeHint().height());
  for (QLabel* l : labels_) delete l;
  labels_.clear();
  std::string text = StepText(step_);
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\r', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty() && line[0] == '\n') line.erase(0, 1);
    auto* label = new QLabel(ToQString(line), panel_);
    label->setObjectName("TourLine");
    label->move(20, 20 + kLineHeight * static_cast<int>(labels_.size()));
    label->resize(kPanelWidth - 40, kLineHeight);
    label->show();
    labels_.push_back(label);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  panel_->show();
  PlaceTourPanel();
}

void TTour::PlaceTourPanel() {
  if (!main_ || !panel_->isVisible()) return;
  const TTourStep& s = TourStep(step_);
  const int lines = static_cast<int>(labels_.size());
  const int buttonsTop = 20 + kLineHeight * lines + 12;
  const int height = buttonsTop + nextBtn_->height() + 16;
  const int width = std::min(kPanelWidth, std::max(200, main_->width() - 20));
  nextBtn_->move(width - 2 * 120 - 30, buttonsTop);
  endBtn_->move(width - 120 - 20, buttonsTop);
  int top = 0;
  switch (s.placement) {
    case 0: top = 70; break;
    case 1: top = (main_->height() - height) / 2; break;
    default: top = main_->height() - height - 40; break;
  }
  panel_->setGeometry((main_->width() - width) / 2, std::max(0, top), width, height);
  // A step that keeps the frame frames what the step before it framed.
  int markStep = step_;
  while (markStep > 0 && TourStep(markStep).keepMarks) --markStep;
  Mark(TourStep(markStep));
  // The text stays readable over the frame.
  panel_->raise();
}

void TTour::Next() {
  if (step_ + 1 >= kTourStepCount) {
    step_ = 0;
    End();
    return;
  }
  ++step_;
  ShowStep();
}

void TTour::End() {
  panel_->hide();
  HideMarks();
}

std::string TourFileName() { return GetProgramFolder() + "System/DemoTour.lng"; }

bool StartTour(const std::string& fileName) {
  QPointer<TTour>& tour = TourSlot();
  if (!tour) {
    QWidget* main = WinGlue().MainWindow.data();
    const std::string file = fileName.empty() ? TourFileName() : fileName;
    auto texts = std::make_unique<tMLSystem>("DE");
    if (!texts->LoadLanguageFile(file, false)) {
      ShowError(CoreText(43) + "\r" + file);
      return false;
    }
    if (!main) return false;
    tour = new TTour(main, std::move(texts));
  }
  tour->ShowStep();
  return true;
}

TTour* Tour() { return TourSlot().data(); }

void PlaceTourPanel() {
  if (TTour* tour = Tour()) tour->PlaceTourPanel();
}

void ResetTour() { delete TourSlot().data(); }
