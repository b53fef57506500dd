#pragma once
// Floor plans: the picture of one floor of a building, shown in the doors view over the door
// list or full screen, with zoom, quarter turns and panning by dragging; and a link to an
// external file (a drawing), kept in a field of the building.
//
// The plan is a JPEG file in the data folder: "Images/Floorplan/" + the owner ID in at least
// four upper-case hexadecimal digits + "-" + the floor name (trimmed, upper case) in
// hexadecimal, two digits per byte, + ".jpg". The link field is "FpLnk" + the same floor
// text; the first ";"-separated part of its value is the path, which counts only while
// the file exists.
//
// Imports stay showable: a picture is written as JPEG within the size the plan loader
// takes (halved until it fits), under a temporary name in the folder and renamed over the
// plan, so a failed import leaves the old plan. A linked file opens only when the user
// clicks the link and says yes, and never when it could run as a program: any user with
// the doors right sets the path.

#include <cstdint>
#include <functional>
#include <string>

#include <QDialog>
#include <QFrame>
#include <QGraphicsView>
#include <QImage>

class QGraphicsPixmapItem;
class QGraphicsScene;
class QLabel;
class QMenu;
class QPushButton;
class TMiniDB;
class TMLStringList;

// The message table "FloorPlanFrame".
const TMLStringList* FloorPlanTexts();
std::string FloorPlanText(int number);

// The floor name as the file and the link field name it: trimmed, upper case, hexadecimal.
std::string FloorHex(const std::string& floor);
// The plan file of the owner's floor in the data folder (with its trailing "/").
std::string FloorPlanFileName(const std::string& dataPath, int32_t owner, const std::string& floor);
// "FpLnk" + FloorHex.
std::string FloorPlanLinkField(const std::string& floor);
// The linked file's path when it exists, else "".
std::string FloorPlanLinkTarget(const TMiniDB& db, int32_t owner, const std::string& floor);
// A plan file or an existing linked file.
bool FloorPlanExists(const TMiniDB& db, const std::string& dataPath, int32_t owner,
                     const std::string& floor);
// A file that could run as a program when the desktop opens it: an executable file, or a
// name ending in ".desktop", ".sh", ".exe", ".bat" or ".cmd".
bool IsRunnableFile(const std::string& path);

enum class TPlanImportResult { Stored, Unreadable, NotWritten };
// Takes a picture file as the plan: a JPEG that the plan loader shows is copied byte for
// byte; anything else is loaded and encoded as JPEG, halved until the loader takes it.
TPlanImportResult ImportFloorPlan(const std::string& source, const std::string& planFile);

class TFloorPlanFrame : public QFrame {
 public:
  explicit TFloorPlanFrame(QWidget* parent);
  ~TFloorPlanFrame() override;

  QGraphicsView* ScrollBox;
  QGraphicsScene* Scene;
  QGraphicsPixmapItem* Image;
  QFrame* NoPlanPanel;
  QLabel* InfoLabel1;
  QLabel* InfoLabel2;
  QLabel* InfoLabel3;
  QFrame* FootPanel;
  QPushButton* CloseBtn;
  QPushButton* FullScreenBtn;
  QPushButton* FileBtn;
  QMenu* FilePopup2;
  QAction* AddPlan2;
  QAction* DelPlan2;
  QAction* AddLink1;
  QAction* DelLink1;
  QMenu* ImagePopup;

  int32_t OwnerId = 0;
  std::string Floor;
  std::string ShownFile;
  int Zoom = 100;
  int Rotation = 0;

  // The file to import or link; default: the open dialog. Empty: cancelled.
  std::function<std::string(bool link)> ChooseFile;
  // Runs when the frame is to close (the doors view hides it).
  std::function<void()> OnClose;
  // Runs after the plan or the link changed (the doors view marks its button).
  std::function<void()> OnChanged;

  // Shows the plan of the owner's floor; true when a picture is shown. Never opens the
  // linked file. While a picture loads, the wait text covers `waitParent` (else the frame).
  bool ShowPlan(int32_t owner, const std::string& floor, QWidget* waitParent = nullptr);
  bool HasPicture() const { return !picture_.isNull(); }
  const QImage& Picture() const { return picture_; }
  void SetZoom(int percent);
  void RotateRight();
  void RotateLeft();
  // The link label clicked: asks, then opens the linked file unless it could run.
  void OpenLink();
  void AddPlan2Click();
  void DelPlan2Click();
  void AddLink1Click();
  void DelLink1Click();
  void CloseBtnClick();
  void FullScreenBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowNoPlan();
  void PlaceNoPlanPanel();
  void ApplyTransform();
  std::string PlanFile() const;
  friend void ShowFloorPlanFullScreen(TFloorPlanFrame* frame);
  QImage picture_;
  QPoint panFrom_{-1, -1};
  QDialog* fullScreen_ = nullptr;
};

// The window that hosts a plan frame full screen. Minimising it minimises the whole
// program: a modal window left alone on the screen would hide nothing and block everything.
class TFloorPlanForm : public QDialog {
 public:
  explicit TFloorPlanForm(QWidget* parent);

 protected:
  void changeEvent(QEvent* event) override;
};

// Moves the frame into the full-screen window (modal); afterwards it goes back.
void ShowFloorPlanFullScreen(TFloorPlanFrame* frame);
