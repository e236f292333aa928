// The program's state: the settings, the filter table, the last plate and
// the globals shared by the dialog and the one worker thread of an operation.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class SerialPort;
class WorkerThread;
class DialogHandle;
class TFoto;

inline constexpr int kRecentAssays = 4;

// Settings; each field is named after its key in platovix.ini.
struct TAppSettings {
  int32_t X = -1;
  int32_t Y = -1;
  uint8_t Reduced = 0;
  uint8_t bDelimComma = 0;
  uint8_t bAutoCopy = 1;
  uint8_t bAutoView = 1;
  uint8_t bIncludeHeader = 1;  // not stored: every run starts with the header on
  int32_t readerType = 2;
  int32_t readerSubType = 0;  // 0 DigiScan, 1 Jupiter / Expert
  int32_t nComPort = 0;       // 1..4 select COM1..COM4, 0 = not chosen yet
  int32_t nBaudRate = 9600;
  int32_t nBits = 7;
  int32_t nParity = 2;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int32_t nStops = 1;   // 0 one stop bit, anything else two
  int32_t nLastF1 = 0;
  int32_t nLastF2 = 0;
  // [Analysis]: the preview's heat map and the plate layout in use.
  uint8_t HeatMap = 1;
  std::string LayoutFile;       // empty: no layout in use
  std::string Fit = "4pl";      // linear, 4pl or 5pl
  std::string Weight = "none";  // none, 1/y or 1/y2
  // [Assay]: the assay Measure reads and analyses with, and the recent ones.
  std::string AssayFile;  // empty: none, everything by hand
  std::string RecentAssays[kRecentAssays];
  // [Trace]: the line trace of the reader conversation, off unless asked for.
  uint8_t TraceEnabled = 0;
  std::string TraceFile;  // chosen once in the Options dialog; empty: none yet
  // [Archive]: every read is stored unless switched off; a lab archive's URL.
  uint8_t ArchiveEnabled = 1;
  std::string ArchiveUrl;  // postgresql://host/db; empty: the local archive only
  // [Report]: open a saved plate report in the desktop's PDF viewer.
  uint8_t OpenReportAfterSaving = 0;
};

inline constexpr int kFilterSlots = 64;

struct TFilterTable {
  int32_t nWavelength[kFilterSlots] = {};  // nm, 0 = empty slot; the reader's positions are 1..6
  int32_t nCount = 0;
  int32_t bCalibrate[kFilterSlots] = {};  // positions chosen in the calibration dialog
};

inline constexpr int kWells = 96;
inline constexpr int kRows = 8;
inline constexpr int kColumns = 12;
inline constexpr int32_t kNoValue = 9999;

struct TPlateResult {
  int32_t nValue[kWells] = {};  // thousandths, row-major A1..A12, B1..H12
  int32_t nPrimary = 0;         // nm, 0 = none
  int32_t nReference = 0;       // nm, 0 = none
  uint64_t ftMeasured = 0;      // local completion time, 100 ns units since 1601, 0 = none
  uint8_t bValid = 0;
  uint64_t ftStarted = 0;  // local start time in the same units, 0 = none
  // 1 where the reader read above its range: nValue holds kNoValue there,
  // as the result text has it, but the well is not "no value".
  uint8_t bOverRange[kWells] = {};
};

// The COMn -> device mapping from the [Ports] section; n = 1..4. An empty
// entry means /dev/ttyS<n-1>.
struct TPortMap {
  std::string szDevice[5];
  // Entries the operator chose in Options during this run: only these are
  // written back (an empty one removes the key), so a hand-edited [Ports]
  // section stays as it was otherwise.
  bool bChosen[5] = {};
};

extern TAppSettings AppSettings;
extern TFilterTable FilterTable;
extern TPlateResult PlateResult;
extern TPortMap PortMap;

using AbortFlag = std::atomic<unsigned char>;

// Operation globals. hComPort and hWorkerThread are valid exactly while an
// operation runs; the worker reads the others through pointers.
extern SerialPort* hComPort;
extern std::unique_ptr<WorkerThread> hWorkerThread;
extern DialogHandle* hMainDlg;
extern AbortFlag bAbort;
extern TFoto* pDriver;
