#pragma once
// The printers of the system, behind one interface: the list of printers, the default
// printer, a device per printer that keeps the options chosen in its properties dialog for
// the run, canvases on it and the properties dialog itself. The program uses the print
// system's printers (CUPS through Qt); tests install a fake whose canvases record.

#include <memory>
#include <string>
#include <vector>

#include "output/PrintCanvasUnit.h"

class QPrinter;
class QWidget;

// One installed printer. The print system knows no ports: one entry per printer.
struct TPrinterDevice {
  std::string driver;  // make and model, as far as the print system tells
  std::string device;  // the printer's name
  std::string port;    // always empty here
  // "%s at %s" (printer, port) where a port is known, else the printer's name.
  std::string Caption() const;
};

class IPrinterServices {
 public:
  virtual ~IPrinterServices() = default;
  // The installed printers in the print system's order.
  virtual std::vector<TPrinterDevice> Printers() = 0;
  // The default printer's name; empty when there is none.
  virtual std::string DefaultPrinter() = 0;
  // The printer's device with the options chosen for it this run; nullptr for a name that
  // is no installed printer. Owned by the services, alive for the run.
  virtual QPrinter* Device(const std::string& name) = 0;
  // A canvas on the printer: with `job` the print job starts with that title (nullptr when
  // the printer refused it); without, the canvas measures only. nullptr for an unknown name.
  virtual std::unique_ptr<IPrintCanvas> NewCanvas(const std::string& name, bool landscape,
                                                  const std::string& jobTitle, bool job);
  // The printer's properties dialog (through ExecModal); its options stay with the printer's
  // device for the run. True when confirmed.
  virtual bool EditOptions(QWidget* owner, const std::string& name);
  // Readies the printer's device for a print job that is about to start (the PDF file
  // printer asks for its file here); false when the job is not to start.
  virtual bool PrepareJob(const std::string& /*name*/) { return true; }
};

// The printer that every printer list of the program holds besides the print system's,
// last: it writes a PDF file, whose name it asks for when a job starts. It is a choice for
// the run, never kept as the user's printer.
inline constexpr const char* kPdfPrinterName = "PDF-Datei";
// Asks for the name of a PDF file to print into (a save dialog through ExecModal, ".pdf"
// added when missing), proposing `proposal`; empty when cancelled.
std::string AskPdfFileName(const std::string& proposal);
// A printer that writes the PDF file `fileName` (A4 at the printer's resolution); it
// writes nowhere with an empty name.
std::unique_ptr<QPrinter> NewPdfPrinter(const std::string& fileName);

// "in Datei" of a form: while a scope is alive, every print job goes into its PDF file
// instead of the printer (the first job writes it, a later one overwrites it). A scope with
// an empty name leaves the outer one's file in force.
class TJobFileScope {
 public:
  explicit TJobFileScope(std::string fileName);
  ~TJobFileScope();
  TJobFileScope(const TJobFileScope&) = delete;
  TJobFileScope& operator=(const TJobFileScope&) = delete;

 private:
  std::string previous_;
};
// The file of the innermost TJobFileScope; empty outside one.
const std::string& JobFile();
// The device a print job on the printer `name` goes to: the job file's PDF printer inside a
// TJobFileScope (kept in `own`), else the printer's device readied for the job (the PDF file
// printer asks for its file). nullptr for an unknown printer or a job not to start.
QPrinter* JobDevice(const std::string& name, std::unique_ptr<QPrinter>& own);
// A canvas with a started print job on the printer `name`, or on the job file's PDF printer
// inside a TJobFileScope. nullptr when the job did not start.
std::unique_ptr<IPrintCanvas> NewJobCanvas(const std::string& name, bool landscape,
                                           const std::string& jobTitle);

// The services in force (the print system's unless a test installed others).
IPrinterServices& PrinterServices();
// Installs `services` (not owned); nullptr goes back to the print system. Returns the
// previous installed services (nullptr when it was the print system's).
IPrinterServices* SetPrinterServices(IPrinterServices* services);

// At least one printer is installed. Asked once, at the first call after the services were
// installed.
bool PrinterInstalled();
// The printers, in the print system's order.
std::vector<TPrinterDevice> PrinterDevices();
// False without an installed printer; else whether the name (any case) is a printer's.
bool PrinterExists(const std::string& name);
// The printer a printout goes to, and the one the printer combos select: the chosen one of
// the print settings while it is in the list (nothing chosen: the default printer), else the
// first whose name contains "Standard ", else the first; empty without printers.
std::string ChosenPrinter();
// The properties dialog of the printer at that index of PrinterDevices(); the printer
// chosen for printing stays as it was. False for an index out of range or when cancelled.
bool ShowPrinterProperties(QWidget* owner, int printerIndex);
