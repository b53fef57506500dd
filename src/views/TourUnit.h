#pragma once
// The guided tour: fourteen steps through the main pages, each with a text panel over the
// main window and four bars that frame the control it talks about. The texts come from
// "System/DemoTour.lng" beside the program, in the user's language. The controls are found
// by object name on the pages of the registered views; a step whose page or control is
// missing shows its text without the frame.

#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QRect>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;
class TMLStringList;
class tMLSystem;

// The unit's message table: 1 "Weiter", 2 "Beenden".
const TMLStringList* TourTexts();

inline constexpr int kTourStepCount = 14;

// What a step does: the page it shows (-1 none), the page whose list gets its first entry
// selected (-1 none), the control framed (from `markFrom` to `markTo`, object names on the
// page; empty: no frame; `keepMarks`: the frame stays as it was), the vertical placement of
// the panel (0 top, 1 middle, 2 bottom). The text is the tour text step + 1.
struct TTourStep {
  int page = -1;
  int selectPage = -1;
  int markPage = -1;
  const char* markFrom = "";
  const char* markTo = "";
  bool keepMarks = false;
  int placement = 2;
};
const TTourStep& TourStep(int step);

class TTour : public QObject {
 public:
  explicit TTour(QWidget* mainWindow, std::unique_ptr<tMLSystem> texts);
  ~TTour() override;

  // Shows the current step (the panel comes back after "Beenden").
  void ShowStep();
  // "Weiter": the next step; after the last the tour ends.
  void Next();
  // "Beenden": panel and frame hidden; the next start shows the same step again.
  void End();
  // Places the panel and the frame anew (the main window was resized or shown).
  void PlaceTourPanel();

  int Step() const { return step_; }
  bool Visible() const;
  QFrame* Panel() const { return panel_; }
  QPushButton* NextBtn() const { return nextBtn_; }
  QPushButton* EndBtn() const { return endBtn_; }
  // The text lines shown and the framed rectangle (in main-window coordinates; empty when
  // the frame is hidden).
  std::vector<std::string> Lines() const;
  QRect MarkedRect() const;
  bool MarksVisible() const;
  // The text of a step in the user's language (lines split at the line breaks).
  std::string StepText(int step) const;

 private:
  void Mark(const TTourStep& s);
  void HideMarks();
  QWidget* Find(int page, const char* name) const;

  QPointer<QWidget> main_;
  std::unique_ptr<tMLSystem> texts_;
  QFrame* panel_ = nullptr;
  QPushButton* nextBtn_ = nullptr;
  QPushButton* endBtn_ = nullptr;
  std::vector<QLabel*> labels_;
  QFrame* marks_[4] = {};
  QRect marked_;
  int step_ = 0;
};

// The tour's file: program folder + "System/DemoTour.lng".
std::string TourFileName();
// Loads the texts when not loaded yet ("Datei nicht gefunden." with the name, and no tour,
// when the file cannot be read), makes the tour when needed and shows its step. False when
// there is no tour. `fileName` empty: the program's file.
bool StartTour(const std::string& fileName = "");
// The tour, null before the first start.
TTour* Tour();
// The hook of the main window: re-places the panel when the tour is shown.
void PlaceTourPanel();
// Ends and forgets the tour and its texts (tests, another language file).
void ResetTour();
