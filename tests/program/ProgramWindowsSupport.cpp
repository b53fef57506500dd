#include "program/ProgramWindowsSupport.h"

#include <filesystem>
#include <vector>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <gtest/gtest.h>

#include "app/BackupRequesterUnit.h"
#include "app/BackupUnit.h"
#include "app/FrameLoginUnit.h"
#include "app/GlueStateUnit.h"
#include "app/LoginTestSupport.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/SigFormUnit.h"
#include "app/TessaroMain.h"
#include "app/TextSettingsUnit.h"
#include "app/Unit1.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/ChangeLogRowsUnit.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HistoryTableUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBUnit.h"
#include "data/TransferRulesUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportDoorsUnit.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportKwdUnit.h"
#include "import/ImportPlanDefUnit.h"
#include "import/ImportPlanUnit.h"
#include "import/ImportProfileUnit.h"
#include "import/ImportXmlUnit.h"
#include "import/widgets/BookingForm.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/FixedImportForm.h"
#include "import/widgets/ImportPlanFormUnit.h"
#include "import/widgets/ImportUnit.h"
#include "output/CsvOrExcelUnit.h"
#include "output/MailUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"
#include "output/RtfEditorUnit.h"
#include "output/WordDocumentUnit.h"
#include "program/ProgramRoot.h"
#include "views/AuthorisationsFormUnit.h"
#include "views/CabInFrameUnit.h"
#include "views/CategFormUnit.h"
#include "views/ChangeLogUnit.h"
#include "views/ContactUnit.h"
#include "views/DBExportUnit.h"
#include "views/DemoDataUnit.h"
#include "views/FindFormUnit.h"
#include "views/FloorPlanUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/FrameCabinetUnit.h"
#include "views/FrameCylsUnit.h"
#include "views/FrameDoorsUnit.h"
#include "views/FrameGroupsUnit.h"
#include "views/FrameKeysUnit.h"
#include "views/FrameLimitsUnit.h"
#include "views/FramePersons2Unit.h"
#include "views/FrameUsersUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/KsToolFormUnit.h"
#include "views/ListExportUnit.h"
#include "views/MemFormUnit.h"
#include "views/NaviUnit.h"
#include "views/PinningFormUnit.h"
#include "views/PlanUnit.h"
#include "views/RelationsUnit.h"
#include "views/RenameUnit.h"
#include "views/SettingsUnit.h"
#include "views/SpecialDeleteUnit.h"
#include "views/SplitUnit.h"
#include "views/TourUnit.h"

std::string ShippedLanguageFile() {
  return (std::filesystem::path(TESSARO_RESOURCE_DIR) / "System" / "Tessaro.lng").string();
}

TShippedLanguage::TShippedLanguage() {
  EXPECT_TRUE(ml.LoadLanguageFile(ShippedLanguageFile(), false)) << ShippedLanguageFile();
}

TLoggedInWindow::TLoggedInWindow(const std::function<void(TStoreMaker&)>& fill) {
  {
    TStoreMaker maker(env.Data());
    const int32_t admin = maker.User("Admin", "A");
    maker.db.SetField(admin, fkRights, maker.Rights(admin, "2222222222222"));
    maker.db.Commit();
    if (fill) fill(maker);
  }
  ResetMainFormRegistries();
  InstallProgramUnits();
  form = std::make_unique<TTessaroForm>();
  form->GuiStartTimerTimer();
  TFrameLogin& login = *form->FrameLogin;
  login.LoginNameCombo->setCurrentIndex(login.LoginNameCombo->findText("Admin"));
  login.LoginPWEd->setText("A");
  login.LoginOkBtnClick();
  for (int page = 0; page < kPageCount; ++page) form->EnsureLazyFrame(page);
}

TLoggedInWindow::~TLoggedInWindow() {
  form.reset();
  ResetMainFormRegistries();
  ResetWinGlue();
}

const std::map<std::string, TFormMaker>& KnownForms() {
  static const std::map<std::string, TFormMaker> forms = {
      {"TTessaroForm", nullptr},
      {"TFrameMother", nullptr},
      {"TFrameUsers", nullptr},
      {"TFramePersons2", nullptr},
      {"TFrameLimits", nullptr},
      {"TFrameHistory", nullptr},
      {"TFrameBuildings2", nullptr},
      {"TFrameDoors", nullptr},
      {"TFrameKeys", nullptr},
      {"TCabInFrame", nullptr},  // inside TFrameKeys
      {"TFrameTransfer", nullptr},
      {"TFrameCyls", nullptr},
      {"TFrameGroups", nullptr},
      {"TFrameCabinet", nullptr},
      {"TDefectCylForm", [] { return std::make_unique<TDefectCylForm>(nullptr); }},
      {"TPinningForm", [] { return std::make_unique<TPinningForm>(nullptr); }},
      {"TFloorPlanFrame", [] { return std::make_unique<TFloorPlanFrame>(nullptr); }},
      {"TCategForm", [] { return std::make_unique<TCategForm>(); }},
      {"TContactForm", [] { return std::make_unique<TContactForm>(); }},
      {"TDemoDataForm", [] { return std::make_unique<TDemoDataForm>(); }},
      {"TMemForm", [] { return std::make_unique<TMemForm>(); }},
      {"TRenameForm", [] { return std::make_unique<TRenameForm>(); }},
      {"TImportForm", [] { return std::make_unique<TImportForm>(); }},
      {"TKsSelForm", [] { return std::make_unique<TKsSelForm>(); }},
      {"TImportPlanDefForm", [] { return std::make_unique<TImportPlanDefForm>(); }},
      {"TImportPlanForm", [] { return std::make_unique<TImportPlanForm>(); }},
      {"TKsToolForm", [] { return std::make_unique<TKsToolForm>(); }},
      {"TCabinetToolForm", [] { return std::make_unique<TCabinetToolForm>(); }},
      {"TSpecialDeleteForm", [] { return std::make_unique<TSpecialDeleteForm>(); }},
      {"TRelationsForm", [] { return std::make_unique<TRelationsForm>(); }},
      {"TNaviForm", [] { return std::make_unique<TNaviForm>(); }},
      {"TDBExportForm", [] { return std::make_unique<TDBExportForm>(); }},
      {"TDirSelForm", [] { return std::make_unique<TDirSelForm>(); }},
      {"TKeySystemsForm", [] { return std::make_unique<TKeySystemsForm>(); }},
      {"TMandantForm", [] { return std::make_unique<TMandantForm>(); }},
      {"TSettingsForm", [] { return std::make_unique<TSettingsForm>(); }},
      {"TAuthorisationsForm", [] { return std::make_unique<TAuthorisationsForm>(); }},
      {"TKeyBoxForm", [] { return std::make_unique<TKeyBoxForm>(); }},
      {"TFristEdForm", [] { return std::make_unique<TFristEdForm>(); }},
      {"TFindForm", [] { return std::make_unique<TFindForm>(nullptr); }},
      {"TObjectSelWin", [] { return std::make_unique<TObjectSelWin>(nullptr); }},
      {"TSplitForm", [] { return std::make_unique<TSplitForm>(); }},
      {"TSplitRebookForm", [] { return std::make_unique<TSplitRebookForm>(); }},
      {"TIventurForm", [] { return std::make_unique<TIventurForm>(); }},
      {"TChangeLogForm", [] { return std::make_unique<TChangeLogForm>(nullptr); }},
      {"TPlanForm", [] { return std::make_unique<TPlanForm>(nullptr); }},
      {"TTextSettingsForm", [] { return std::make_unique<TTextSettingsForm>(); }},
      {"TSigForm", [] { return std::make_unique<TSigForm>(); }},
      {"TBackupRequesterForm", [] { return std::make_unique<TBackupRequesterForm>(); }},
      {"TSigFrame", nullptr},  // inside TSigForm
      {"TPrintSelectForm", [] { return std::make_unique<TPrintSelectForm>(); }},
      {"TPrintPreviewForm",
       [] {
         static QPrinter printer;
         return std::make_unique<TPrintPreviewForm>(&printer,
                                                    [](QPrinter*) { return std::vector<QImage>(); });
       }},
      {"TRtfForm", [] { return std::make_unique<TRtfForm>(); }},
      {"TFixedImportForm", [] { return std::make_unique<TImportDoorsForm>(); }},
      {"TBookingForm", [] { return std::make_unique<TBookingForm>(); }},
      {"TConcatCellsForm", [] { return std::make_unique<TConcatCellsForm>(); }},
  };
  return forms;
}
