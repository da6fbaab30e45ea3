#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "import/DrawingFile.h"
#include "import/EditorLists.h"
#include "import/KerfOffset.h"
#include "import/LeadPlan.h"
#include "import/Nesting.h"
#include "import/PartSequence.h"
#include "import/UndoRing.h"
#include "model/JobModel.h"

namespace corvane {

class FieldStore;
class NumberParser;
class ProgramLog;
struct AdvancedOptions;

// The import window's processing choices, read from its fields at the moment of use.
struct ImportProcessOptions {
  bool builtIn = true;        // cCalc, "Use Pellary": process at all
  bool offset = false;        // cOffsetActive, "Offset"
  bool outside = true;        // rOutside / rInside
  int toolSlider = 10;        // eOffset: tool size in 0.1 mm steps
  double typedToolMm = 0;     // Edit1 read with the unit conversion; 0: use the slider
  bool unite = false;         // cSpaw, "connect paths"
  LeadOptions leads;          // cLeadIn, cLeadOut, cLeadIn2, cLeadOut2, eInOut
  int leadSlider = 3;         // eLead: lead length in mm (0.05 in steps)
  SortStart sort = SortStart::BottomLeft;  // rSort0..rSort5
  int sortSlider = -1;        // eSort, −5..5
  bool openDetect = false;    // cOpenDetect: contours inside open paths nest too
  bool milling = false;       // Milling Mode of the configuration
  bool inches = false;        // inch mode of the operator's fields
  std::int32_t autoWelding = 3;  // AutoWelding of the advanced options, 0.01 mm
};

// The readers' options from the import window's fields and the advanced options.
ImportOptions ReadImportReadOptions(const FieldStore& fields, const AdvancedOptions& advanced,
                                   const NumberParser& parser);

ImportProcessOptions ReadImportProcessOptions(const FieldStore& fields, const AdvancedOptions& advanced,
                                              const NumberParser& parser);

// The preview's and the layer lists' colour of a layer (RGB), by layer number mod 16.
std::uint32_t LayerColour(int layer);

// What a change of an option asks for: processing at once, or after the
// window's 1500 ms one-shot when the drawing is big.
enum class ImportChange { Sort, Offset, Lead };
inline constexpr int kReprocessDelayMs = 1500;
bool ReprocessAtOnce(ImportChange change, std::size_t contours, std::size_t vertices);

// The layer list lines for the layers present ("Layer : 7", "Layer : Mat"),
// sorted as text the way the window's lists keep them.
std::vector<std::string> LayerLines(const std::vector<int>& layers);
// The layer a list line names: the text from its ninth character on as an
// integer ("Layer : Mat" gives −1, never a layer).
int LayerOfLine(const std::string& line, const NumberParser& parser);

// Seconds each stage of the last load and processing took, for the figures.
struct ImportStageTimes {
  double read = 0, clean = 0, nest = 0, offset = 0, group = 0, sort = 0, leads = 0;
};

// One drawing on its way from the file to the job: the import path list,
// the editor's three lists and the processed contours with their leads.
class ImportSession {
 public:
  explicit ImportSession(ProgramLog& log) : log_(log) {}

  // Reads the file into the import path list and moves it to the origin.
  // A file that cannot be read shows the error picture instead (if given).
  // False when nothing was read from the file itself.
  // `format` names the reader when the extension does not.
  bool Preview(const std::string& fileName, const ImportOptions& readOptions, const NumberParser& parser,
               const std::string& errorPicture = "", std::optional<DrawingFormat> format = std::nullopt);
  // What the reader said about the last file.
  const DrawingLoad& lastLoad() const { return load_; }
  const TPaths& importPaths() const { return import_; }
  // The layers present (−1 as 252, the material outline), in increasing order.
  std::vector<int> PresentLayers() const;
  // The preview's choice: the first line, or every line when there is no material outline.
  std::vector<int> DefaultPlasmaLayers() const;
  // "100 x 50 mm", or in inches "3.937\" x 1.969\"".
  std::string SizeText(bool inches) const;

  // Splits the import path list by the chosen layers, cleans (unless Ctrl is
  // held) and normalises the editor lists, then processes.
  void LoadIntoEditor(const std::vector<int>& plasmaLayers, const std::vector<int>& markerLayers,
                      bool ctrlHeld, const ImportProcessOptions& options);

  // The adding load: the previewed drawing's paths beside the editor's drawing
  // (to its right, or above it), cleaned from the first new contour on; the
  // new contours become the chosen ones. Layers not chosen go to the disabled list.
  void AddIntoEditor(const std::vector<int>& plasmaLayers, bool above, ClipperLib::cInt gap,
                     const ImportProcessOptions& options);

  // "CTRL + Q": the processed contours with their leads become the drawing.
  void ApplyProcessing(const ImportProcessOptions& options);

  // A right click on a processed contour near `click` (within `tolerance`):
  // moves a closed contour's start there, or reverses an open one. False when
  // no contour is near.
  bool ChangeStart(const ClipperLib::IntPoint& click, double tolerance, const ImportProcessOptions& options);

  // The editor lists for the undo ring, and back.
  EditorSnapshot Snapshot() const;
  void Restore(EditorSnapshot snapshot);

  // Works the cutting list's nesting out if an edit has made it stale.
  const Nesting& EnsureNesting(bool openDetect);

  // Processing: nesting, kerf offset, parts, orientation, sort and leads. A
  // drawing larger than ±99 999.99 mm is not offset and not processed (log line).
  void Process(const ImportProcessOptions& options, bool forced = false);

  // The job the window sends: marker contours, disabled contours, then the
  // processed contours with their leads; nullopt (with a log line) when the
  // drawing is too large for a job or was too large to process.
  std::optional<tCNCPath> JobContours(const ImportProcessOptions& options) const;

  // The editor lists; after changing the cutting list call CuttingChanged().
  TPaths cutting, marker, disabled;
  std::vector<char> chosen;
  void CuttingChanged();
  // Moves the editor lists so their smallest X and Y are 0 and records the extent.
  void Normalise();

  const TPaths& processed() const { return processed_; }
  // Cutting-list indexes of the closed contours the last processing left out
  // because the kerf offset left nothing of them (smaller than the tool); they
  // stay in the editor but are not cut. Empty when no offset was made.
  const std::vector<std::size_t>& tooSmall() const { return tooSmall_; }
  // How many of those are holes (the rest are outlines cut inside).
  std::size_t TooSmallHoles() const;
  const std::vector<LeadRecord>& leads() const { return leads_; }
  const Nesting& cuttingNesting() const { return cuttingNesting_; }
  ClipperLib::cInt extentX() const { return extentX_; }
  ClipperLib::cInt extentY() const { return extentY_; }
  ClipperLib::cInt disabledMinX() const { return disabledMinX_; }
  bool slowPreview() const { return slowPreview_; }
  const std::vector<std::string>& memo() const { return memo_; }
  const ImportStageTimes& times() const { return times_; }
  void setPairSearch(PairSearch search) { search_ = search; }

 private:
  void MoveImportToOrigin();
  void RenderFullQuality();

  ProgramLog& log_;
  std::string fileName_;
  DrawingFormat format_ = DrawingFormat::Unknown;
  ImportOptions readOptions_;
  TPaths import_;
  DrawingLoad load_;
  TDXF dxf_;
  ClipperLib::cInt importExtentX_ = 0, importExtentY_ = 0;
  bool slowPreview_ = false;

  ClipperLib::cInt extentX_ = 0, extentY_ = 0, disabledMinX_ = 0;
  bool nestingValid_ = false;
  Nesting cuttingNesting_;
  // The offset result kept for the amount it was made with, until the cutting list changes.
  std::optional<std::pair<ClipperLib::cInt, bool>> offsetMadeWith_;
  TPaths offsetPaths_;
  std::vector<std::size_t> offsetVanished_;
  std::vector<std::size_t> tooSmall_;

  TPaths processed_;
  std::vector<LeadRecord> leads_;
  bool leadsPlanned_ = false;
  bool refused_ = false;  // the last processing refused a drawing too large to offset
  std::vector<std::string> memo_;
  ImportStageTimes times_;
  PairSearch search_ = PairSearch::Indexed;
};

}  // namespace corvane
