#pragma once
// Printers for the tests: named printers whose canvases record what they are given
// (TRecordingCanvas) and whose devices print into PDF files of a temporary folder.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QFile>
#include <QPrinter>

#include "output/PrintCanvasUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"
#include "support/TestSupport.h"

class TFakePrinterServices : public IPrinterServices {
 public:
  std::vector<std::string> names{"Empfang", "Lager"};
  std::string defaultName = "Empfang";
  int pageWidth = 1000;  // portrait, device pixels
  int pageHeight = 1400;
  int resolution = 144;  // the recording canvas: 10 pt characters are 10 pixels wide

  struct TRequest {
    std::string printer;
    bool landscape = false;
    std::string title;
    bool job = false;
  };
  std::vector<TRequest> requests;
  std::vector<std::unique_ptr<TRecordedJob>> jobs;      // canvases with a print job
  std::vector<std::unique_ptr<TRecordedJob>> measures;  // canvases that only measure
  std::vector<std::string> edited;
  bool confirmEdits = true;
  TTempDir pdfFolder;

  std::vector<TPrinterDevice> Printers() override {
    std::vector<TPrinterDevice> list;
    for (const std::string& n : names) list.push_back({"Fake", n, ""});
    return list;
  }
  std::string DefaultPrinter() override { return defaultName; }
  QPrinter* Device(const std::string& name) override {
    if (!Known(name)) return nullptr;
    auto& device = devices_[name];
    if (!device) {
      device = std::make_unique<QPrinter>(QPrinter::HighResolution);
      device->setOutputFormat(QPrinter::PdfFormat);
      device->setResolution(resolution);
      device->setOutputFileName(QFile::decodeName(QByteArray::fromStdString(PdfOf(name))));
    }
    return device.get();
  }
  std::unique_ptr<IPrintCanvas> NewCanvas(const std::string& name, bool landscape,
                                          const std::string& title, bool job) override {
    requests.push_back({name, landscape, title, job});
    if (!Known(name)) return nullptr;
    auto record = std::make_unique<TRecordedJob>();
    record->title = title;
    TRecordedJob& ref = *record;
    (job ? jobs : measures).push_back(std::move(record));
    return std::make_unique<TRecordingCanvas>(ref, landscape ? pageHeight : pageWidth,
                                              landscape ? pageWidth : pageHeight, resolution);
  }
  bool EditOptions(QWidget*, const std::string& name) override {
    edited.push_back(name);
    return confirmEdits;
  }

  std::string PdfOf(const std::string& name) const { return pdfFolder.File(name + ".pdf"); }

 private:
  bool Known(const std::string& name) const {
    for (const std::string& n : names)
      if (n == name) return true;
    return false;
  }
  std::map<std::string, std::unique_ptr<QPrinter>> devices_;
};

// Installs fake printers (and fresh print settings) for the scope.
class TFakePrinterScope {
 public:
  TFakePrinterScope() {
    previous_ = SetPrinterServices(&printers);
    ResetPrintSettings();
  }
  ~TFakePrinterScope() {
    SetPrinterServices(previous_);
    ResetPrintSettings();
  }
  TFakePrinterScope(const TFakePrinterScope&) = delete;
  TFakePrinterScope& operator=(const TFakePrinterScope&) = delete;

  TFakePrinterServices printers;

 private:
  IPrinterServices* previous_ = nullptr;
};
