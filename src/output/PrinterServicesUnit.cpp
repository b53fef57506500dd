#include "output/PrinterServicesUnit.h"

#include <map>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "basic/Cp1252.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "platform/PlatformFiles.h"

std::string TPrinterDevice::Caption() const {
  return port.empty() ? device : device + " at " + port;
}

std::unique_ptr<IPrintCanvas> IPrinterServices::NewCanvas(const std::string& name,
                                                          bool landscape,
                                                          const std::string& jobTitle, bool job) {
  QPrinter* device = Device(name);
  if (!device) return nullptr;
  device->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  device->setDocName(ToQString(jobTitle));
  if (job && !PrepareJob(name)) return nullptr;
  auto canvas = std::make_unique<TPainterCanvas>(*device, job);
  if (job && !canvas->Started()) return nullptr;
  return canvas;
}

bool IPrinterServices::EditOptions(QWidget* owner, const std::string& name) {
  QPrinter* device = Device(name);
  if (!device) return false;
  QPrintDialog dialog(device, owner);
  return ExecModal(dialog) == QDialog::Accepted;
}

std::string AskPdfFileName(const std::string& proposal) {
  QFileDialog dialog(QApplication::activeWindow(), ToQString(PrintSelectText(4)));
  dialog.setObjectName(QStringLiteral("PdfSaveDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
  if (!proposal.empty()) dialog.selectFile(ToQString(proposal));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  std::string name = FromQString(dialog.selectedFiles().first());
  // A name typed without its extension still becomes a PDF file that opens as one.
  if (name.size() < 4 || !AnsiSameText(name.substr(name.size() - 4), ".pdf")) name += ".pdf";
  return name;
}

std::unique_ptr<QPrinter> NewPdfPrinter(const std::string& fileName) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setPageSize(QPageSize(QPageSize::A4));
  if (!fileName.empty())
    printer->setOutputFileName(QFile::decodeName(QByteArray::fromStdString(PfOsPath(fileName))));
  return printer;
}

namespace {

std::string& JobFileName() {
  static std::string name;
  return name;
}

// A painter canvas on a printer of its own (the job file's).
struct TOwnedPrinter {
  std::unique_ptr<QPrinter> printer;
};
class TJobFileCanvas : private TOwnedPrinter, public TPainterCanvas {
 public:
  explicit TJobFileCanvas(std::unique_ptr<QPrinter> own)
      : TOwnedPrinter{std::move(own)}, TPainterCanvas(*printer, true) {}
};

// The print system's printers through Qt (CUPS), and the PDF file printer after them.
class TSystemPrinters : public IPrinterServices {
 public:
  std::vector<TPrinterDevice> Printers() override {
    std::vector<TPrinterDevice> list;
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters())
      list.push_back({FromQString(info.makeAndModel()), FromQString(info.printerName()), ""});
    list.push_back({"PDF", kPdfPrinterName, ""});
    return list;
  }

  std::string DefaultPrinter() override { return FromQString(QPrinterInfo::defaultPrinterName()); }

  QPrinter* Device(const std::string& name) override {
    const auto it = devices_.find(name);
    if (it != devices_.end()) return it->second.get();
    if (name == kPdfPrinterName) {
      QPrinter* raw = (devices_[name] = NewPdfPrinter("")).get();
      return raw;
    }
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
      if (FromQString(info.printerName()) != name) continue;
      auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
      QPrinter* raw = printer.get();
      devices_[name] = std::move(printer);
      return raw;
    }
    return nullptr;
  }

  bool PrepareJob(const std::string& name) override {
    if (name != kPdfPrinterName) return true;
    QPrinter* device = Device(name);
    const std::string file = AskPdfFileName(FromQString(device->docName()));
    if (file.empty()) return false;
    device->setOutputFileName(QFile::decodeName(QByteArray::fromStdString(PfOsPath(file))));
    return true;
  }

  bool EditOptions(QWidget* owner, const std::string& name) override {
    QPrinter* device = Device(name);
    if (!device) return false;
    QPrintDialog dialog(device, owner);
    const bool ok = ExecModal(dialog) == QDialog::Accepted;
    // The dialog lets the user pick another printer: its options then belong to that one.
    const std::string picked = FromQString(device->printerName());
    if (picked != name && !picked.empty()) {
      devices_[picked] = std::move(devices_[name]);
      devices_.erase(name);
    }
    return ok;
  }

 private:
  std::map<std::string, std::unique_ptr<QPrinter>> devices_;
};

struct TServicesState {
  IPrinterServices* installed = nullptr;
  int installedKnown = -1;  // PrinterInstalled: -1 not asked yet
};

TServicesState& State() {
  static TServicesState state;
  return state;
}

IPrinterServices& SystemPrinters() {
  static TSystemPrinters printers;
  return printers;
}

}  // namespace

IPrinterServices& PrinterServices() {
  return State().installed ? *State().installed : SystemPrinters();
}

IPrinterServices* SetPrinterServices(IPrinterServices* services) {
  IPrinterServices* previous = State().installed;
  State().installed = services;
  State().installedKnown = -1;
  return previous;
}

bool PrinterInstalled() {
  int& known = State().installedKnown;
  if (known < 0) known = PrinterServices().Printers().empty() ? 0 : 1;
  return known == 1;
}

std::vector<TPrinterDevice> PrinterDevices() {
  if (!PrinterInstalled()) return {};
  return PrinterServices().Printers();
}

bool PrinterExists(const std::string& name) {
  if (!PrinterInstalled() || name.empty()) return false;
  for (const TPrinterDevice& p : PrinterServices().Printers())
    if (AnsiSameText(p.device, name)) return true;
  return false;
}

std::string ChosenPrinter() {
  if (!PrinterInstalled()) return "";
  const std::vector<TPrinterDevice> printers = PrinterServices().Printers();
  if (printers.empty()) return "";
  auto find = [&printers](const std::string& name) -> std::string {
    for (const TPrinterDevice& p : printers)
      if (!name.empty() && AnsiSameText(p.device, name)) return p.device;
    return "";
  };
  const std::string& chosen = PrintSettings().printerName;
  // Nothing chosen yet: the print system's default printer is the one chosen.
  std::string name = find(chosen.empty() ? PrinterServices().DefaultPrinter() : chosen);
  if (!name.empty()) return name;
  // A chosen printer that is gone: the system's standard printer by its name, else the first.
  for (const TPrinterDevice& p : printers)
    if (p.device.find("Standard ") != std::string::npos) return p.device;
  return printers.front().device;
}

bool ShowPrinterProperties(QWidget* owner, int printerIndex) {
  const std::vector<TPrinterDevice> printers = PrinterDevices();
  if (printerIndex < 0 || printerIndex >= static_cast<int>(printers.size())) return false;
  return PrinterServices().EditOptions(owner, printers[printerIndex].device);
}

TJobFileScope::TJobFileScope(std::string fileName) : previous_(JobFileName()) {
  if (!fileName.empty()) JobFileName() = std::move(fileName);
}

TJobFileScope::~TJobFileScope() { JobFileName() = previous_; }

const std::string& JobFile() { return JobFileName(); }

QPrinter* JobDevice(const std::string& name, std::unique_ptr<QPrinter>& own) {
  if (!JobFile().empty()) {
    own = NewPdfPrinter(JobFile());
    return own.get();
  }
  QPrinter* device = PrinterServices().Device(name);
  if (!device || !PrinterServices().PrepareJob(name)) return nullptr;
  return device;
}

std::unique_ptr<IPrintCanvas> NewJobCanvas(const std::string& name, bool landscape,
                                           const std::string& jobTitle) {
  if (JobFile().empty()) return PrinterServices().NewCanvas(name, landscape, jobTitle, true);
  std::unique_ptr<QPrinter> printer = NewPdfPrinter(JobFile());
  printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer->setDocName(ToQString(jobTitle));
  auto canvas = std::make_unique<TJobFileCanvas>(std::move(printer));
  if (!canvas->Started()) return nullptr;
  return canvas;
}
