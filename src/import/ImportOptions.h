#pragma once
#include <string>

namespace corvane {

// The import window's fields and advanced options the readers depend on,
// already parsed. Whoever owns the fields fills this at the moment of loading.
struct ImportOptions {
  double scaleHPGL = 1.0;  // eScaleHPGL, the HPGL scale field (ParseFloat)
  double scaleDXF = 1.0;   // eScaleDXF, the DXF scale field (ParseFloat)
  double scaleTAP = 1.0;   // eScaleTAP, the G-code scale field (ParseFloat); see GcodeReader.h
  bool forceMM = false;    // cDXFForceMM, "Force [ mm ]"
  bool forceInch = false;  // cDXFForceINCH, "Force [ inch ]" (wins over mm)
  bool fastCalc = false;   // cFastCalc, "Fast Processing"
  std::string mCodeOn;     // MCodeOn of the advanced options: an extra torch-on code
  std::string mCodeOff;    // MCodeOff of the advanced options: an extra torch-off code
  int closeDxf = 0;        // CloseDxf of the advanced options: 1 closes closed splines
};

}  // namespace corvane
