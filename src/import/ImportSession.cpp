#include "import/ImportSession.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "model/Geometry.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

constexpr int kStagePreview = 110, kStageEditor = 120, kStageEditorDone = 121;
constexpr int kStageProcess = 130, kStageProcessDone = 131;
constexpr cInt kCleanTolerance = 4;
constexpr int kMaterialLayer = 252;
// Send to job: a vertex within this many units of the last kept one is dropped.
constexpr cInt kSendThinning = 4;
// The kerf offset and the nesting it relies on work within ±99 999.99 mm (the
// range "connect paths" unites in); a larger drawing is not processed.
constexpr cInt kMaxProcessExtent = 9'999'999;
constexpr const char* kTooLargeToProcess =
    "Drawing larger than 99999.99 mm: not processed, nothing is cut (scale it down)";

class StageTimer {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::string FileNameOnly(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int LayerOfHeader(const TPath& path) {
  return path.empty() ? 0 : static_cast<int>(path.front().Y & 0xFF);
}

std::string ShortestDecimal(double value) {
  std::string text = std::to_string(value);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// A contour for the job: the first vertex stays, a vertex within 4 units of
// the last kept one is dropped, the last vertex always stays.
CNCpath JobContour(const TPath& path, std::int32_t kind, bool thin) {
  CNCpath contour{{kind, 0}};
  contour.reserve(path.size() + 1);
  for (std::size_t i = 0; i < path.size(); ++i) {
    const ContourPoint p{static_cast<std::int32_t>(path[i].X), static_cast<std::int32_t>(path[i].Y)};
    if (thin && i > 0 && i + 1 < path.size()) {
      const ContourPoint& last = contour.back();
      if (std::abs(std::int64_t{p.x} - last.x) <= kSendThinning &&
          std::abs(std::int64_t{p.y} - last.y) <= kSendThinning)
        continue;
    }
    contour.push_back(p);
  }
  return contour;
}

bool FitsInJob(const TPaths& list) {
  constexpr cInt kMin = std::numeric_limits<std::int32_t>::min();
  constexpr cInt kMax = std::numeric_limits<std::int32_t>::max();
  for (const TPath& path : list)
    for (const IntPoint& p : path)
      if (p.X < kMin || p.X > kMax || p.Y < kMin || p.Y > kMax) return false;
  return true;
}

}  // namespace

ImportOptions ReadImportReadOptions(const FieldStore& fields, const AdvancedOptions& advanced,
                                   const NumberParser& parser) {
  ImportOptions o;
  o.scaleHPGL = parser.ParseFloat(fields.text(Window::Import, "eScaleHPGL"));
  o.scaleDXF = parser.ParseFloat(fields.text(Window::Import, "eScaleDXF"));
  o.scaleTAP = parser.ParseFloat(fields.text(Window::Import, "eScaleTAP"));
  o.forceMM = fields.checked(Window::Import, "cDXFForceMM");
  o.forceInch = fields.checked(Window::Import, "cDXFForceINCH");
  o.fastCalc = fields.checked(Window::Import, "cFastCalc");
  o.mCodeOn = advanced.MCodeOn;
  o.mCodeOff = advanced.MCodeOff;
  o.closeDxf = advanced.CloseDxf;
  return o;
}

std::uint32_t LayerColour(int layer) {
  static constexpr std::uint32_t kPalette[16] = {0x808080, 0x000000, 0x800080, 0xFF0000, 0x008000, 0xFF00FF,
                                                 0x808000, 0x0000FF, 0x800000, 0x000080, 0x008080, 0x00FF00,
                                                 0xC0DCC0, 0xA6CAF0, 0xFFFF00, 0x000000};
  return kPalette[((layer % 16) + 16) % 16];
}

ImportProcessOptions ReadImportProcessOptions(const FieldStore& fields, const AdvancedOptions& advanced,
                                              const NumberParser& parser) {
  ImportProcessOptions o;
  const auto on = [&](const char* name) { return fields.checked(Window::Import, name); };
  const auto text = [&](const char* name) { return fields.text(Window::Import, name); };
  o.builtIn = on("cCalc");
  o.offset = on("cOffsetActive");
  o.outside = !on("rInside");
  o.toolSlider = std::clamp(parser.ParseInt1(text("eOffset")), 1, 100);
  const std::string& typed = text("Edit1");
  o.typedToolMm = typed.empty() || typed == "0" ? 0.0 : parser.ParseFloat2(typed);
  if (!std::isfinite(o.typedToolMm) || o.typedToolMm < 0) o.typedToolMm = 0;
  o.unite = on("cSpaw");
  o.leads.leadIn = on("cLeadIn");
  o.leads.leadOut = o.leads.leadIn && on("cLeadOut");
  o.leads.straightIn = on("cLeadIn2");
  o.leads.alongOut = on("cLeadOut2");
  o.leadSlider = std::clamp(parser.ParseInt1(text("eLead")), 1, 50);
  o.leads.ratio = parser.ParseFloat(text("eInOut"));
  o.leads.ratioIsOne = text("eInOut") == "1";
  o.sortSlider = std::clamp(parser.ParseInt1(text("eSort")), -5, 5);
  o.sort = on("rSort0")   ? SortStart::Disabled
           : on("rSort2") ? SortStart::TopLeft
           : on("rSort3") ? SortStart::TopRight
           : on("rSort4") ? SortStart::BottomRight
           : on("rSort5") ? SortStart::Centre
                          : SortStart::BottomLeft;
  o.openDetect = on("cOpenDetect");
  o.milling = fields.checked(Window::Configuration, "cSpec1a");
  o.inches = parser.imperial;
  o.leads.length = LeadLength(o.leadSlider, o.inches);
  o.autoWelding = advanced.AutoWelding;
  return o;
}

bool ReprocessAtOnce(ImportChange change, std::size_t contours, std::size_t vertices) {
  if (change == ImportChange::Lead) return contours <= 20 || vertices < 2000;
  return contours <= 200 || vertices < 20000;
}

std::vector<std::string> LayerLines(const std::vector<int>& layers) {
  std::vector<std::string> lines;
  for (const int layer : layers)
    lines.push_back("Layer : " + (layer == kMaterialLayer ? std::string("Mat") : std::to_string(layer)));
  std::sort(lines.begin(), lines.end());
  return lines;
}

int LayerOfLine(const std::string& line, const NumberParser& parser) {
  return line.size() > 8 ? parser.ParseInt1(line.substr(8)) : -1;
}

bool ImportSession::Preview(const std::string& fileName, const ImportOptions& readOptions,
                            const NumberParser& parser, const std::string& errorPicture,
                            std::optional<DrawingFormat> format) {
  memo_.assign({"________"});
  log_.WriteLog("Preview: " + FileNameOnly(fileName));
  log_.stage = kStagePreview;
  const StageTimer timer;
  import_.clear();
  dxf_ = TDXF{};
  fileName_ = fileName;
  readOptions_ = readOptions;
  format_ = format.value_or(DrawingFormatFor(fileName));
  load_ = DrawingLoad{};
  DrawingLoad& load = load_;
  if (format_ == DrawingFormat::Unknown)
    load.error = "no reader for this file";
  else
    load = ReadDrawingFile(fileName, format_, readOptions, parser, log_, import_, dxf_);
  times_ = {};
  times_.read = timer.Seconds();
  slowPreview_ = times_.read > 1.0;
  memo_.push_back(std::to_string(std::llround(times_.read * 1000)) + "ms");
  const bool read = load.ok && !import_.empty();
  if (!read) {
    if (!load.error.empty()) log_.WriteLog("FileImport Error: " + FileNameOnly(fileName));
    import_.clear();
    format_ = DrawingFormat::Unknown;
    if (!errorPicture.empty()) {
      TDXF unused;
      ReadDrawingFile(errorPicture, DrawingFormat::Hpgl, ImportOptions{}, parser, log_, import_, unused);
    }
  }
  MoveImportToOrigin();
  memo_.push_back("_pTab+");
  memo_.push_back(std::to_string(static_cast<long long>(import_.size()) - 1));
  memo_.push_back(std::to_string(VertexCountOf(import_)));
  memo_.push_back("________");
  return read;
}

void ImportSession::RenderFullQuality() {
  // The preview drew a DXF drawing coarsely; the editor cuts what a full rendering gives.
  if (format_ != DrawingFormat::Dxf || dxf_.entities.empty()) return;
  TPaths rendered;
  dxf_.Render(true, readOptions_, log_, rendered);
  if (rendered.empty()) return;
  import_ = std::move(rendered);
  MoveImportToOrigin();
}

void ImportSession::MoveImportToOrigin() {
  const ImportExtents e = ExtentsOf(import_);
  importExtentX_ = importExtentY_ = 0;
  if (!e.any) return;
  for (TPath& path : import_)
    for (std::size_t i = 1; i < path.size(); ++i) path[i].X -= e.minX, path[i].Y -= e.minY;
  importExtentX_ = e.maxX - e.minX;
  importExtentY_ = e.maxY - e.minY;
}

std::vector<int> ImportSession::PresentLayers() const {
  std::set<int> layers;
  for (const TPath& path : import_) {
    if (path.empty()) continue;
    layers.insert(path.front().Y == kLayerMaterialRead ? kMaterialLayer : LayerOfHeader(path));
  }
  return {layers.begin(), layers.end()};
}

std::vector<int> ImportSession::DefaultPlasmaLayers() const {
  const std::vector<int> present = PresentLayers();
  if (present.empty()) return {};
  if (std::find(present.begin(), present.end(), kMaterialLayer) == present.end()) return present;
  const std::vector<std::string> lines = LayerLines(present);
  // The first line as the list sorts it; "Layer : Mat" sorts last.
  const std::string number = lines.front().substr(8);
  return {number == "Mat" ? kMaterialLayer : std::stoi(number)};
}

std::string ImportSession::SizeText(bool inches) const {
  if (inches) {
    char text[96];
    std::snprintf(text, sizeof text, "%.3f\" x %.3f\"", static_cast<double>(importExtentX_) / 2540,
                  static_cast<double>(importExtentY_) / 2540);
    return text;
  }
  return ShortestDecimal(static_cast<double>(importExtentX_) / 100) + " x " +
         ShortestDecimal(static_cast<double>(importExtentY_) / 100) + " mm";
}

void ImportSession::LoadIntoEditor(const std::vector<int>& plasmaLayers,
                                   const std::vector<int>& markerLayers, bool ctrlHeld,
                                   const ImportProcessOptions& options) {
  if (slowPreview_) log_.WriteLog("LoadFile TimeOut");
  log_.stage = kStageEditor;
  cutting.clear(), marker.clear(), disabled.clear();
  CuttingChanged();
  processed_.clear();
  leads_.clear();
  if (import_.empty()) return;
  RenderFullQuality();
  const std::set<int> plasma(plasmaLayers.begin(), plasmaLayers.end());
  const std::set<int> marking(markerLayers.begin(), markerLayers.end());
  std::size_t empty = 0;
  for (const TPath& path : import_) {
    if (path.size() < 2) {
      ++empty;
      continue;
    }
    const int layer = LayerOfHeader(path);
    TPaths& target = plasma.count(layer) ? cutting : (marking.count(layer) ? marker : disabled);
    target.emplace_back(path.begin() + 1, path.end());
  }
  if (empty > 0) log_.WriteLog("Empty pathes skipped : " + std::to_string(empty));
  log_.WriteLog("LoadFile: " + FileNameOnly(fileName_));
  log_.WriteLog("Raw pathes : " + std::to_string(cutting.size()));
  if (cutting.empty())
    log_.WriteLog("No layer chosen for cutting: " +
                  std::string(marker.empty() ? "nothing to cut" : "marker contours only"));
  const StageTimer timer;
  if (!ctrlHeld) {
    CleanResult clean = CleanContours(cutting, 0, kCleanTolerance, options.milling, search_);
    if (options.autoWelding > 5) {
      const CleanResult again = CleanContours(cutting, 0, options.autoWelding, options.milling, search_);
      clean.deleted += again.deleted, clean.welded += again.welded, clean.closed += again.closed;
    }
    memo_.push_back("Deleted Patches: " + std::to_string(clean.deleted));
  }
  const CleanResult markerClean = CleanContours(marker, 0, kCleanTolerance, options.milling, search_);
  (void)markerClean;
  times_.clean = timer.Seconds();
  Normalise();
  log_.WriteLog("Simplyfy to: " + std::to_string(cutting.size()) + " pathes");
  memo_.push_back("Vectors   : " + std::to_string(VertexCount(cutting)));
  chosen.assign(cutting.size(), 0);
  Process(options);
  log_.stage = kStageEditorDone;
}

void ImportSession::Normalise() {
  // The marker contours move with the drawing they were drawn on.
  const EditorExtent e = ExtentOfLists({&cutting, &disabled});
  if (e.any) ShiftLists({&cutting, &disabled, &marker}, e.minX, e.minY);
  extentX_ = std::max<cInt>(e.any ? e.maxX - e.minX : 0, 100);
  extentY_ = std::max<cInt>(e.any ? e.maxY - e.minY : 0, 100);
  disabledMinX_ = disabled.empty() ? 0 : ExtentOfLists({&disabled}).minX;
  chosen.resize(cutting.size(), 0);
  CuttingChanged();
}

void ImportSession::CuttingChanged() {
  nestingValid_ = false;
  offsetMadeWith_.reset();
}

void ImportSession::Process(const ImportProcessOptions& options, bool forced) {
  if (extentX_ == 0 && cutting.empty()) return;
  log_.stage = kStageProcess;
  leadsPlanned_ = false;
  leads_.clear();
  tooSmall_.clear();
  if (!options.builtIn && !forced) {
    processed_ = cutting;
    log_.stage = kStageProcessDone;
    return;
  }
  refused_ = (forced || options.offset) && (extentX_ > kMaxProcessExtent || extentY_ > kMaxProcessExtent);
  if (refused_) {
    // Beyond that range holes came out offset the wrong way; cut as drawn
    // they would be a kerf too large. Neither is cut.
    log_.WriteLog(kTooLargeToProcess);
    processed_.clear();
    log_.stage = kStageProcessDone;
    return;
  }
  memo_.push_back("Start_calc");
  StageTimer timer;
  if (!nestingValid_) {
    cuttingNesting_ = NestCuttingList(cutting, options.openDetect, search_);
    nestingValid_ = true;
  }
  times_.nest = timer.Seconds();
  timer = StageTimer();
  if (forced || options.offset) {
    const cInt delta = OffsetAmount(options.toolSlider, options.typedToolMm, options.inches,
                                    !options.outside, forced);
    const std::pair<cInt, bool> with{delta, options.unite};
    if (offsetMadeWith_ != with) {
      memo_.push_back("offset " + std::to_string(options.toolSlider));
      if (delta == 0) log_.WriteLog("Tool size 0: contours are cut as drawn");
      OffsetResult offset = OffsetCuttingList(cutting, cuttingNesting_, delta, options.unite);
      if (!offset.vanished.empty())
        log_.WriteLog("Offset: " + std::to_string(offset.vanished.size()) +
                      " contours smaller than the tool left out");
      if (offset.split > 0)
        log_.WriteLog("Offset: " + std::to_string(offset.split) + " contours split in pieces");
      offsetPaths_ = std::move(offset.paths);
      offsetVanished_ = std::move(offset.vanished);
      offsetMadeWith_ = with;
    }
    processed_ = offsetPaths_;
    tooSmall_ = offsetVanished_;
  } else {
    processed_ = cutting;
  }
  times_.offset = timer.Seconds();
  timer = StageTimer();
  const Nesting nesting = NestProcessedList(processed_, options.openDetect, search_);
  std::vector<PartContours> parts = GroupParts(processed_, nesting, options.outside);
  times_.group = timer.Seconds();
  timer = StageTimer();
  SortParts(parts, processed_, options.sort, options.sortSlider, extentX_, extentY_, search_);
  times_.sort = timer.Seconds();
  processed_ = CutOrder(processed_, parts);
  timer = StageTimer();
  if (options.leads.leadIn || options.leads.leadOut) {
    LeadPlanResult plan = PlanLeads(processed_, options.leads);
    if (plan.withoutLead > 0)
      log_.WriteLog("Leads: " + std::to_string(plan.withoutLead) +
                    " contours have no room for a lead and are cut from their first vertex");
    leads_ = std::move(plan.records);
    leadsPlanned_ = true;
  }
  times_.leads = timer.Seconds();
  log_.stage = kStageProcessDone;
}

std::size_t ImportSession::TooSmallHoles() const {
  return static_cast<std::size_t>(std::count_if(tooSmall_.begin(), tooSmall_.end(), [&](std::size_t i) {
    return i < cuttingNesting_.records.size() && cuttingNesting_.records[i].depth % 2 == 1;
  }));
}

void ImportSession::AddIntoEditor(const std::vector<int>& plasmaLayers, bool above, cInt gap,
                                  const ImportProcessOptions& options) {
  RenderFullQuality();
  if (import_.empty()) return;
  const std::set<int> plasma(plasmaLayers.begin(), plasmaLayers.end());
  const std::size_t first = cutting.size();
  const cInt dx = above ? 0 : extentX_ + gap, dy = above ? extentY_ + gap : 0;
  for (const TPath& path : import_) {
    if (path.size() < 2) continue;
    TPaths& target = plasma.count(LayerOfHeader(path)) ? cutting : disabled;
    target.emplace_back(path.begin() + 1, path.end());
    for (IntPoint& p : target.back()) p.X += dx, p.Y += dy;
  }
  memo_.push_back("raw pathes   : " + std::to_string(cutting.size()));
  CleanContours(cutting, first, kCleanTolerance, options.milling, search_);
  if (options.autoWelding > 5) CleanContours(cutting, first, options.autoWelding, options.milling, search_);
  Normalise();
  memo_.push_back("Simply pathes: " + std::to_string(cutting.size()));
  memo_.push_back("Vectors   : " + std::to_string(VertexCount(cutting)));
  chosen.assign(cutting.size(), 0);
  for (std::size_t i = first; i < cutting.size(); ++i) chosen[i] = 1;
  Process(options);
}

void ImportSession::ApplyProcessing(const ImportProcessOptions& options) {
  const bool withLeads = options.leads.leadIn && leadsPlanned_;
  TPaths final = withLeads ? AttachLeads(processed_, leads_) : processed_;
  cutting = std::move(final);
  chosen.assign(cutting.size(), 0);
  Normalise();
}

bool ImportSession::ChangeStart(const IntPoint& click, double tolerance, const ImportProcessOptions& options) {
  const Point64 at{click.X, click.Y};
  for (std::size_t c = 0; c < processed_.size(); ++c) {
    TPath& p = processed_[c];
    for (std::size_t i = 1; i < p.size(); ++i) {
      const IntPoint a = p[i - 1], b = p[i];
      if (!NearSegment(at, Point64{a.X, a.Y}, Point64{b.X, b.Y}, tolerance)) continue;
      if (!IsClosedPath(p) || !options.builtIn) {
        std::reverse(p.begin(), p.end());
      } else {
        const cInt ex = b.X - a.X, ey = b.Y - a.Y;
        const bool shortSegment = std::abs(ex) <= 400 && std::abs(ey) <= 400;
        const bool nearMiddle = std::abs(click.X - (a.X + b.X) / 2) <= 200 && std::abs(click.Y - (a.Y + b.Y) / 2) <= 200;
        // The vertices from index i round the contour back to A (index i − 1).
        TPath round;
        for (std::size_t k = 0; k + 1 < p.size(); ++k) round.push_back(p[(i + k) % (p.size() - 1)]);
        if (shortSegment || (nearMiddle && options.leads.leadIn)) {
          round.insert(round.begin(), a);  // A, B, …, A
          p = std::move(round);
        } else {
          const bool alongY = std::abs(ey) >= std::abs(ex);
          double t = alongY ? static_cast<double>(click.Y - a.Y) / static_cast<double>(ey)
                            : static_cast<double>(click.X - a.X) / static_cast<double>(ex);
          t = std::clamp(t, 0.01, 0.99);
          const double f = !options.leads.leadIn ? t : (t >= 0.5 ? 2 * t - 1 : 2 * t);
          const IntPoint n{a.X + std::llround(f * static_cast<double>(ex)), a.Y + std::llround(f * static_cast<double>(ey))};
          TPath changed;
          if (t >= 0.5) {
            changed.push_back(n);
            changed.insert(changed.end(), round.begin(), round.end());  // B … A
            changed.push_back(n);
          } else {
            changed.push_back(a);
            changed.push_back(n);
            changed.insert(changed.end(), round.begin(), round.end());  // B … A
          }
          p = std::move(changed);
        }
        if (options.leads.leadIn && c < leads_.size()) leads_[c] = PlanLead(processed_, c, options.leads);
      }
      return true;
    }
  }
  return false;
}

EditorSnapshot ImportSession::Snapshot() const { return {cutting, marker, disabled, chosen}; }

void ImportSession::Restore(EditorSnapshot snapshot) {
  cutting = std::move(snapshot.cutting);
  marker = std::move(snapshot.marker);
  disabled = std::move(snapshot.disabled);
  chosen = std::move(snapshot.chosen);
  chosen.resize(cutting.size(), 0);
  Normalise();
}

const Nesting& ImportSession::EnsureNesting(bool openDetect) {
  if (!nestingValid_) {
    cuttingNesting_ = NestCuttingList(cutting, openDetect, search_);
    nestingValid_ = true;
  }
  return cuttingNesting_;
}

std::optional<tCNCPath> ImportSession::JobContours(const ImportProcessOptions& options) const {
  if (refused_) {
    log_.WriteLog(kTooLargeToProcess);
    return std::nullopt;
  }
  const bool withLeads = options.builtIn && options.leads.leadIn && leadsPlanned_;
  const TPaths final = withLeads ? AttachLeads(processed_, leads_) : processed_;
  if (!FitsInJob(marker) || !FitsInJob(disabled) || !FitsInJob(final)) {
    log_.WriteLog("Drawing too large for a job: nothing sent");
    return std::nullopt;
  }
  tCNCPath job;
  job.reserve(marker.size() + disabled.size() + final.size());
  for (const TPath& path : marker) job.push_back(JobContour(path, kKindMarker, true));
  for (const TPath& path : disabled) job.push_back(JobContour(path, kKindDisabled, false));
  for (const TPath& path : final) job.push_back(JobContour(path, kKindCut, true));
  return job;
}

}  // namespace corvane
