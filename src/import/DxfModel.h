#pragma once
#include <bitset>
#include <cstddef>
#include <numbers>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"
#include "import/ImportReport.h"

namespace corvane {

class ProgramLog;

enum class DxfKind { Line, Arc, Circle, Ellipse, Polyline, LwPolyline, Insert, Spline };

struct DxfPoint {
  double x = 0;
  double y = 0;
};

struct DxfVertex {
  double x = 0;
  double y = 0;
  double bulge = 0;
  int flags = 0;
};

// A layer of the LAYER table.
struct TLayer {
  std::string name;  // 2
  int colour = 0;    // 62; negative when the layer is switched off
};

// An entry of the BLOCK_RECORD table with the base point of its BLOCK.
struct TBlock {
  std::string name;        // 2
  std::string layoutHandle;  // 340, a hexadecimal handle
  int insertionUnits = 0;  // 70, a drawing-unit code
  bool explodable = false; // 280
  bool scalable = false;   // 281
  double baseX = 0;        // 10 of the BLOCK (kept, not used when inserting)
  double baseY = 0;        // 20 of the BLOCK
};

// One entity. Which values mean something depends on the kind.
struct TEntry {
  DxfKind kind = DxfKind::Line;
  std::string layer;       // 8
  int colour = 0;          // 62
  bool paperSpace = false; // 67
  double extrusionX = 0, extrusionY = 0, extrusionZ = 1;  // 210, 220, 230
  int block = -1;          // owning block, -1 for the drawing's own entities
  std::bitset<128> seen;   // group codes below 128 read successfully

  double x = 0, y = 0;     // 10, 20: start, centre or insertion point
  double z = 0;            // 30 (38 of an LWPOLYLINE): height in the entity's own plane
  double x2 = 0, y2 = 0;   // 11, 21: LINE end, ELLIPSE major axis end relative to the centre
  double z2 = 0;           // 31: ELLIPSE major axis Z
  double radius = 0;       // 40: ARC and CIRCLE radius, ELLIPSE minor/major ratio
  double angle0 = 0;       // 50: ARC start angle, INSERT rotation (degrees)
  double angle1 = 0;       // 51: ARC end angle
  double param0 = 0;       // 41: ELLIPSE start parameter
  double param1 = 2 * std::numbers::pi;  // 42: ELLIPSE end parameter
  double scaleX = 1, scaleY = 1;         // 41, 42: INSERT scales
  int columns = 1, rows = 1;             // 70, 71: INSERT array (MINSERT) size
  double columnSpacing = 0, rowSpacing = 0;  // 44, 45: INSERT array spacing
  int flags = 0;           // 70
  std::string blockName;   // 2 of an INSERT

  // POLYLINE (from its VERTEX entities) and LWPOLYLINE (never more than declared).
  int declaredVertices = 0;  // 90
  std::vector<DxfVertex> vertices;

  // SPLINE: never more knots, control points or fit points than declared.
  int degree = 0;                             // 71
  int declaredKnots = 0, declaredControls = 0, declaredFits = 0;  // 72, 73, 74
  std::vector<double> knots;                  // 40
  std::vector<DxfPoint> controls;             // 10, 20
  std::vector<double> weights;                // 41, one per control point or none
  std::vector<DxfPoint> fits;                 // 11, 21 (empty once a curve was fitted through them)

  bool Seen(int code) const { return code >= 0 && code < 128 && seen.test(code); }
  // LINE, ARC and CIRCLE are drawn only from the groups they cannot do without.
  bool HasRequiredGroups() const;
};

// Millimetres per drawing unit of a unit code ($INSUNITS, block insertion units).
double DxfUnitFactor(int unitCode);

// A parsed DXF drawing: read once, rendered again whenever units, scale or quality change.
class TDXF {
 public:
  std::vector<TEntry> entities;
  std::vector<std::vector<TEntry>> blockEntities;
  std::vector<TLayer> layers;
  std::vector<TBlock> blocks;

  double unitFactor = 1.0;      // mm per drawing unit, from the header
  int insUnits = -1;            // $INSUNITS, -1 when the header has none
  double unitCorrection = 1.0;
  bool unitsOpen = true;        // $MEASUREMENT may still set the units
  bool radians = false;         // $DIMAUNIT 2: angles in radians
  double scale = 100.0;         // s: 0.01 mm per drawing unit
  std::size_t lineCounter = 0;
  // What this file's reading and its latest rendering skipped, scaled and approximated.
  ImportReport report;
  // Notices already logged for this file: rendering again (preview, then full
  // quality, then after a change of units) repeats none of them.
  std::set<std::string> notices;

  // Parses the whole text, ASCII or binary DXF (read as its text form). False
  // with the reason when a group code is not an integer; what was read before
  // stays. A file that ends before its end-of-file mark reads what it holds and
  // sets report.truncated.
  bool Read(std::string_view text, ProgramLog& log, std::string& error);

  void SetScale(double x) { scale = x * 100 * unitFactor * unitCorrection; }
  void SetUnitCorrection(double u) { unitCorrection = u / unitFactor; }

  // The import window's unit boxes and scale field: s = eScaleDXF x 100 x
  // (the forced unit, or the file's).
  void ApplyImportUnits(const ImportOptions& options);

  // Empties the list and renders every drawing entity outside paper space.
  // Only splines use fullQuality (the preview draws them coarser).
  void Render(bool fullQuality, const ImportOptions& options, ProgramLog& log, TPaths& paths);
};

// The dispatcher's DXF load: reads the text into dxf, applies the units and
// renders it into paths (the preview unless fullQuality). True when the drawing
// has at least one entity of its own; error is set when a group code is no
// integer or the file is truncated (what it holds is drawn all the same).
bool ReadDxf(std::string_view text, const ImportOptions& options, ProgramLog& log, TDXF& dxf,
             TPaths& paths, std::string& error, bool fullQuality = false);

}  // namespace corvane
