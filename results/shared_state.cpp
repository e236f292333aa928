#include "results/shared_state.h"

TAppSettings AppSettings;
TFilterTable FilterTable;
TPlateResult PlateResult;
TPortMap PortMap;

DialogHandle* hMainDlg = nullptr;
AbortFlag bAbort{0};
TFoto* pDriver = nullptr;
