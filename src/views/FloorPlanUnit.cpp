#include "views/FloorPlanUnit.h"

#include <cstdio>
#include <memory>

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/PictureUnit.h"
#include "app/WaitPanelUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PictureLoadUnit.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr const char* kPlanFolder = "Images/Floorplan/";

bool IsFile(const std::string& path) {
  TPfInfo info;
  return !path.empty() && PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

std::string LowerEnd(const std::string& path, size_t count) {
  if (path.size() < count) return "";
  return AnsiLowerCase(path.substr(path.size() - count));
}

// Writes the bytes under a temporary name in the plan's folder and renames it over the
// plan: the old plan stays until the new one is complete.
bool WritePlanFile(const std::string& bytes, const std::string& planFile) {
  const size_t slash = planFile.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : planFile.substr(0, slash + 1);
  if (!folder.empty() && PfMakeFolders(folder) != 0) return false;
  std::string temp;
  int fd = -1;
  if (PfCreateUnique(folder, "~fp", ".tmp", temp, fd) != 0) return false;
  const bool written = PfWriteAll(fd, bytes.data(), bytes.size()) == 0 && PfFsync(fd) == 0;
  PfClose(fd);
  if (!written || PfRename(temp, planFile) != 0) {
    PfUnlink(temp);
    return false;
  }
  PfFsyncFolder(folder);
  return true;
}

}  // namespace

const TMLStringList* FloorPlanTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FloorPlanFrame", 0);
    t->Add255Obj("Kein g\xFCltiges JPG-Bild.", 1);
    t->Add255Obj("Eine externe Datei ist verkn\xFCpft.", 2);
    t->Add255Obj("Diese Datei wird nicht ge\xF6"
                 "ffnet, da sie ein Programm starten "
                 "k\xF6nnte:#13#%1",
                 3);
    t->Add255Obj("Die verkn\xFCpfte Datei \xF6"
                 "ffnen?#13#%1",
                 4);
    t->Add255Obj("Der Grundriss konnte nicht gespeichert werden.", 5);
    return t;
  }();
  return table;
}

std::string FloorPlanText(int number) { return GetMLText(FloorPlanTexts(), number); }

std::string FloorHex(const std::string& floor) {
  static const char* const digits = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : AnsiUpperCase(Trim(floor))) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string FloorPlanFileName(const std::string& dataPath, int32_t owner,
                              const std::string& floor) {
  char id[16];
  std::snprintf(id, sizeof id, "%04X", static_cast<unsigned>(owner));
  return dataPath + kPlanFolder + id + "-" + FloorHex(floor) + ".jpg";
}

std::string FloorPlanLinkField(const std::string& floor) { return "FpLnk" + FloorHex(floor); }

std::string FloorPlanLinkTarget(const TMiniDB& db, int32_t owner, const std::string& floor) {
  if (owner <= 0) return "";
  std::string value = db.ReadLineField(owner, FloorPlanLinkField(floor));
  const size_t semicolon = value.find(';');
  if (semicolon != std::string::npos) value.resize(semicolon);
  value = Trim(value);
  return IsFile(value) ? value : "";
}

bool FloorPlanExists(const TMiniDB& db, const std::string& dataPath, int32_t owner,
                     const std::string& floor) {
  return owner > 0 && (IsFile(FloorPlanFileName(dataPath, owner, floor)) ||
                       !FloorPlanLinkTarget(db, owner, floor).empty());
}

bool IsRunnableFile(const std::string& path) {
  for (const char* end : {".desktop", ".sh", ".exe", ".bat", ".cmd"})
    if (LowerEnd(path, std::string(end).size()) == end) return true;
  TPfInfo info;
  if (PfStat(path, info) != 0) return false;
  return info.kind != TPfKind::File || (info.mode & 0111) != 0;
}

TPlanImportResult ImportFloorPlan(const std::string& source, const std::string& planFile) {
  QImage image;
  const size_t dot = source.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : AnsiLowerCase(source.substr(dot));
  if (ext.rfind(".jp", 0) == 0 && LoadJpegFileToBitmap(source, image)) {
    // A JPEG the plan loader shows is taken as it is.
    std::string bytes;
    if (!ReadFileToString(source, bytes)) return TPlanImportResult::Unreadable;
    return WritePlanFile(bytes, planFile) ? TPlanImportResult::Stored
                                          : TPlanImportResult::NotWritten;
  }
  TPictureLoadResult result = TPictureLoadResult::Missing;
  std::optional<QImage> loaded = LoadPicture(source, 0, result);
  if (!loaded || loaded->isNull()) return TPlanImportResult::Unreadable;
  image = *loaded;
  // Within what the loader takes: the bytes and the pixels; halved until both fit.
  std::string bytes;
  for (;;) {
    if (static_cast<int64_t>(image.width()) * image.height() <= kJpegMaxPixels) {
      SaveBitmapAsJpegLimited(image, kJpegFileMaxBytes, bytes);
      if (bytes.empty()) return TPlanImportResult::Unreadable;
      if (static_cast<int64_t>(bytes.size()) <= kJpegFileMaxBytes) break;
    }
    if (image.width() < 2 || image.height() < 2) return TPlanImportResult::Unreadable;
    image = image.scaled(image.width() / 2, image.height() / 2, Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  }
  if (static_cast<int64_t>(bytes.size()) < kJpegFileMinBytes && bytes.size() > 2) {
    // The loader takes no file below its minimum: a comment segment after the start marker
    // fills a tiny picture up without changing it.
    const size_t fill = static_cast<size_t>(kJpegFileMinBytes) - bytes.size();
    std::string comment = "\xFF\xFE";
    comment += static_cast<char>(((fill - 2) >> 8) & 0xFF);
    comment += static_cast<char>((fill - 2) & 0xFF);
    comment.append(fill - 4, ' ');
    bytes.insert(2, comment);
  }
  return WritePlanFile(bytes, planFile) ? TPlanImportResult::Stored : TPlanImportResult::NotWritten;
}

// =======================================================================================
// The frame

TFloorPlanFrame::TFloorPlanFrame(QWidget* parent) : QFrame(parent) {
  setObjectName("FloorPlanFrame");
  setAutoFillBackground(true);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  Scene = new QGraphicsScene(this);
  ScrollBox = new QGraphicsView(Scene, this);
  ScrollBox->setObjectName("ScrollBox");
  ScrollBox->setDragMode(QGraphicsView::NoDrag);
  ScrollBox->viewport()->installEventFilter(this);
  Image = Scene->addPixmap(QPixmap());
  outer->addWidget(ScrollBox, 1);

  NoPlanPanel = new QFrame(ScrollBox);
  NoPlanPanel->setObjectName("NoPlanPanel");
  auto* info = new QVBoxLayout(NoPlanPanel);
  InfoLabel1 = new QLabel(NoPlanPanel);
  InfoLabel2 = new QLabel(NoPlanPanel);
  info->addWidget(InfoLabel1);
  info->addWidget(InfoLabel2);
  InfoLabel3 = new QLabel(this);
  InfoLabel3->setObjectName("InfoLabel3");
  InfoLabel3->setCursor(Qt::PointingHandCursor);
  InfoLabel3->installEventFilter(this);
  outer->addWidget(InfoLabel3);

  FootPanel = new QFrame(this);
  auto* foot = new QHBoxLayout(FootPanel);
  foot->setContentsMargins(2, 2, 2, 2);
  CloseBtn = new QPushButton(ToQString("Schlie\xDF"
                                       "en"),
                             FootPanel);
  FullScreenBtn = new QPushButton(ToQString("Vollbild"), FootPanel);
  FileBtn = new QPushButton(ToQString("Datei"), FootPanel);
  foot->addWidget(CloseBtn);
  foot->addWidget(FullScreenBtn);
  foot->addStretch(1);
  foot->addWidget(FileBtn);
  outer->addWidget(FootPanel);

  FilePopup2 = new QMenu(this);
  AddPlan2 = FilePopup2->addAction(ToQString("Grundriss hinzuf\xFCgen/\xE4ndern"));
  DelPlan2 = FilePopup2->addAction(ToQString("Grundriss entfernen"));
  AddLink1 = FilePopup2->addAction(ToQString("Verkn\xFCpfung zu externer Datei einrichten"));
  DelLink1 = FilePopup2->addAction(ToQString("Verkn\xFCpfung entfernen"));
  ImagePopup = new QMenu(this);
  QMenu* zoom = ImagePopup->addMenu(ToQString("Zoom"));
  for (const char* caption : {"  25%", "  50%", "100%", "150%", "200%"}) {
    QAction* a = zoom->addAction(ToQString(caption));
    connect(a, &QAction::triggered, this, [this, caption] {
      std::string text = Trim(caption);
      text.pop_back();
      SetZoom(StrToIntZero(text));
    });
  }
  QAction* right = ImagePopup->addAction(ToQString("Drehung 90\xB0 rechts"));
  QAction* left = ImagePopup->addAction(ToQString("Drehung 90\xB0 links"));
  connect(right, &QAction::triggered, this, [this] { RotateRight(); });
  connect(left, &QAction::triggered, this, [this] { RotateLeft(); });
  ScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ScrollBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ImagePopup->popup(ScrollBox->mapToGlobal(at)); });

  ChooseFile = [this](bool link) -> std::string {
    QFileDialog dialog(this, ToQString(CoreText(135)));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (link)
      dialog.setNameFilters({QStringLiteral("all files (*)")});
    else
      dialog.setNameFilters({QStringLiteral("Pictures (*.jp* *.bmp *.gif *.png *.tif*)"),
                             QStringLiteral("JPEG (*.jp*)"), QStringLiteral("BMP (*.bmp)"),
                             QStringLiteral("GIF (*.gif)"), QStringLiteral("PNG (*.png)"),
                             QStringLiteral("TIFF (*.tif*)")});
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return FromQString(dialog.selectedFiles().front());
  };

  connect(CloseBtn, &QPushButton::clicked, this, [this] { CloseBtnClick(); });
  connect(FullScreenBtn, &QPushButton::clicked, this, [this] { FullScreenBtnClick(); });
  connect(FileBtn, &QPushButton::clicked, this, [this] { FilePopup2->popup(QCursor::pos()); });
  connect(AddPlan2, &QAction::triggered, this, [this] { AddPlan2Click(); });
  connect(DelPlan2, &QAction::triggered, this, [this] { DelPlan2Click(); });
  connect(AddLink1, &QAction::triggered, this, [this] { AddLink1Click(); });
  connect(DelLink1, &QAction::triggered, this, [this] { DelLink1Click(); });
  TranslateForm(this);
  ShowNoPlan();
}

TFloorPlanFrame::~TFloorPlanFrame() = default;

std::string TFloorPlanFrame::PlanFile() const {
  return FloorPlanFileName(MandantState().DataPath, OwnerId, Floor);
}

void TFloorPlanFrame::ShowNoPlan() {
  picture_ = QImage();
  Image->setPixmap(QPixmap());
  Scene->setSceneRect(0, 0, 10, 10);
  // The two lines of the program's language text 3.
  std::string text = MLGetText(3);
  if (text.empty())
    text = MLTranslate("Kein Grundriss vorhanden.") + "\r" +
           MLTranslate("\xDC"
                       "ber \"Datei\" kann ein Grundriss hinzugef\xFCgt werden.");
  const size_t split = text.find_first_of("\r\n");
  InfoLabel1->setText(ToQString(text.substr(0, split)));
  InfoLabel2->setText(
      ToQString(split == std::string::npos ? std::string() : Trim(text.substr(split + 1))));
  PlaceNoPlanPanel();
  NoPlanPanel->show();
}

void TFloorPlanFrame::PlaceNoPlanPanel() {
  // The lines are wrapped only where the box is narrower than they are.
  for (QLabel* line : {InfoLabel1, InfoLabel2}) line->setWordWrap(false);
  NoPlanPanel->adjustSize();
  const int room = ScrollBox->width() - 8;
  if (NoPlanPanel->width() > room && room > 40) {
    for (QLabel* line : {InfoLabel1, InfoLabel2}) line->setWordWrap(true);
    NoPlanPanel->resize(room, NoPlanPanel->heightForWidth(room));
  }
  NoPlanPanel->move(std::max(0, (ScrollBox->width() - NoPlanPanel->width()) / 2),
                    std::max(0, (ScrollBox->height() - NoPlanPanel->height()) / 2));
}

bool TFloorPlanFrame::ShowPlan(int32_t owner, const std::string& floor, QWidget* waitParent) {
  const std::string file = FloorPlanFileName(MandantState().DataPath, owner, floor);
  if (file != ShownFile || picture_.isNull()) {
    OwnerId = owner;
    Floor = floor;
    ShownFile = file;
    if (IsFile(file)) {
      picture_ = QImage();
      QImage loaded;
      std::unique_ptr<TWaitPanel> wait(WaitTextDefault(waitParent ? waitParent : this));
      UI().ProcessPendingEvents();
      const bool readable = LoadJpegFileToBitmap(file, loaded);
      wait.reset();
      if (readable) {
        picture_ = loaded;
        NoPlanPanel->hide();
        Zoom = 100;
        Rotation = 0;
        ApplyTransform();
      } else {
        ShowError(FloorPlanText(1));
        ShowNoPlan();
      }
    } else {
      ShowNoPlan();
    }
  }
  // The linked file is only named here; it opens on a click and a yes.
  TMiniDB* db = GlueDB();
  const bool linked = db && !FloorPlanLinkTarget(*db, owner, floor).empty();
  InfoLabel3->setText(linked ? ToQString(FloorPlanText(2)) : QString());
  return !picture_.isNull();
}

void TFloorPlanFrame::ApplyTransform() {
  QImage shown = picture_;
  for (int r = Rotation; r >= 90; r -= 90) RotateBitmapRight(shown);
  for (int r = Rotation; r <= -90; r += 90) RotateBitmapLeft(shown);
  Image->setPixmap(QPixmap::fromImage(shown));
  Image->setScale(Zoom / 100.0);
  Scene->setSceneRect(Image->sceneBoundingRect());
}

void TFloorPlanFrame::SetZoom(int percent) {
  if (percent < 25) return;
  Zoom = percent;
  if (!picture_.isNull()) ApplyTransform();
}

void TFloorPlanFrame::RotateRight() {
  Rotation = (Rotation + 90) % 360;
  if (!picture_.isNull()) ApplyTransform();
}

void TFloorPlanFrame::RotateLeft() {
  Rotation = Rotation - 90;
  if (Rotation <= -360) Rotation += 360;
  if (!picture_.isNull()) ApplyTransform();
}

void TFloorPlanFrame::OpenLink() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  const std::string target = FloorPlanLinkTarget(*db, OwnerId, Floor);
  if (target.empty()) return;
  if (IsRunnableFile(target)) {
    ShowError(GetMLTextFmt(FloorPlanTexts(), 3, target));
    return;
  }
  if (AskYesNo(GetMLTextFmt(FloorPlanTexts(), 4, target)) != mrYes) return;
  ShellOpen(target);
}

void TFloorPlanFrame::AddPlan2Click() {
  if (OwnerId <= 0 || RightDenied(rtDoors)) return;
  const std::string file = ChooseFile ? ChooseFile(false) : std::string();
  if (file.empty()) return;
  switch (ImportFloorPlan(file, PlanFile())) {
    case TPlanImportResult::Stored:
      ShownFile.clear();
      ShowPlan(OwnerId, Floor);
      if (OnChanged) OnChanged();
      break;
    case TPlanImportResult::Unreadable: ShowError(CoreText(104) + "\r\r" + CoreText(105)); break;
    case TPlanImportResult::NotWritten: ShowError(FloorPlanText(5)); break;
  }
}

void TFloorPlanFrame::DelPlan2Click() {
  if (OwnerId <= 0 || RightDenied(rtDoors)) return;
  DeleteFileForce(PlanFile());
  ShownFile.clear();
  ShowPlan(OwnerId, Floor);
  if (OnChanged) OnChanged();
}

namespace {

// Sets or removes the owner's link field in one write.
void WriteLinkField(int32_t owner, const std::string& field, const std::string& value) {
  TMiniDB* db = GlueDB();
  if (!db) return;
  std::string blocking;
  {
    TStoreWrite write(*db, {owner});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (db->IsValid(owner)) {
      db->SetField(owner, field, value);
      write.Commit();
    }
  }
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db->ShowLockedMessage(blocking, true);
}

}  // namespace

void TFloorPlanFrame::AddLink1Click() {
  if (OwnerId <= 0 || RightDenied(rtDoors)) return;
  const std::string file = ChooseFile ? ChooseFile(true) : std::string();
  if (file.empty()) return;
  WriteLinkField(OwnerId, FloorPlanLinkField(Floor), file);
  ShowPlan(OwnerId, Floor);
  if (OnChanged) OnChanged();
}

void TFloorPlanFrame::DelLink1Click() {
  if (OwnerId <= 0 || RightDenied(rtDoors)) return;
  WriteLinkField(OwnerId, FloorPlanLinkField(Floor), "");
  ShowPlan(OwnerId, Floor);
  if (OnChanged) OnChanged();
}

void TFloorPlanFrame::CloseBtnClick() {
  if (fullScreen_) {
    fullScreen_->accept();
    return;
  }
  if (OnClose) OnClose();
}

void TFloorPlanFrame::FullScreenBtnClick() {
  if (fullScreen_) {
    fullScreen_->accept();
    return;
  }
  ShowFloorPlanFullScreen(this);
}

bool TFloorPlanFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == InfoLabel3 && event->type() == QEvent::MouseButtonRelease) {
    OpenLink();
    return true;
  }
  const bool mouse = event->type() == QEvent::MouseButtonPress ||
                     event->type() == QEvent::MouseMove ||
                     event->type() == QEvent::MouseButtonRelease;
  if (watched == ScrollBox->viewport() && mouse) {
    const auto* press = static_cast<QMouseEvent*>(event);
    const QPoint now = press->globalPosition().toPoint();
    if (event->type() == QEvent::MouseButtonPress) {
      if (press->button() == Qt::LeftButton) panFrom_ = now;
    } else if (event->type() == QEvent::MouseMove) {
      // Dragging with the left button moves the picture with the hand.
      if (panFrom_.x() >= 0 && (press->buttons() & Qt::LeftButton)) {
        ScrollBox->horizontalScrollBar()->setValue(ScrollBox->horizontalScrollBar()->value() -
                                                   (now.x() - panFrom_.x()));
        ScrollBox->verticalScrollBar()->setValue(ScrollBox->verticalScrollBar()->value() -
                                                 (now.y() - panFrom_.y()));
        panFrom_ = now;
      }
    } else {
      panFrom_ = QPoint(-1, -1);
    }
  }
  return QFrame::eventFilter(watched, event);
}

void TFloorPlanFrame::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  PlaceNoPlanPanel();
}

TFloorPlanForm::TFloorPlanForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FloorPlanForm");
  setWindowTitle(ToQString(" Grundriss"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

void TFloorPlanForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  MinimiseProgramWith(this, event);
}

void ShowFloorPlanFullScreen(TFloorPlanFrame* frame) {
  if (!frame) return;
  static QPointer<TFloorPlanForm> form;
  if (!form) {
    form = new TFloorPlanForm(WinGlue().MainWindow.data());
  }
  QWidget* parent = frame->parentWidget();
  const QRect bounds = frame->geometry();
  const bool visible = frame->isVisible();
  form->layout()->addWidget(frame);
  frame->show();
  form->setWindowState(Qt::WindowMaximized);
  frame->fullScreen_ = form;
  ExecModal(*form);
  frame->fullScreen_ = nullptr;
  form->layout()->removeWidget(frame);
  frame->setParent(parent);
  frame->setGeometry(bounds);
  frame->setVisible(visible);
}
