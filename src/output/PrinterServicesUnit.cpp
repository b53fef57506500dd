#include "output/PrinterServicesUnit.h"

#include <map>

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "basic/Cp1252.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrintSettingsUnit.h"

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

namespace {

// The print system's printers through Qt (CUPS).
class TSystemPrinters : public IPrinterServices {
 public:
  std::vector<TPrinterDevice> Printers() override {
    std::vector<TPrinterDevice> list;
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters())
      list.push_back({FromQString(info.makeAndModel()), FromQString(info.printerName()), ""});
    return list;
  }

  std::string DefaultPrinter() override { return FromQString(QPrinterInfo::defaultPrinterName()); }

  QPrinter* Device(const std::string& name) override {
    const auto it = devices_.find(name);
    if (it != devices_.end()) return it->second.get();
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
      if (FromQString(info.printerName()) != name) continue;
      auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
      QPrinter* raw = printer.get();
      devices_[name] = std::move(printer);
      return raw;
    }
    return nullptr;
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
  std::string name = find(PrintSettings().printerName);
  if (name.empty()) name = find(PrinterServices().DefaultPrinter());
  if (name.empty()) name = printers.front().device;
  return name;
}

bool ShowPrinterProperties(QWidget* owner, int printerIndex) {
  const std::vector<TPrinterDevice> printers = PrinterDevices();
  if (printerIndex < 0 || printerIndex >= static_cast<int>(printers.size())) return false;
  return PrinterServices().EditOptions(owner, printers[printerIndex].device);
}
