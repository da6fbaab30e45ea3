#include "import/ImportEditing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Geometry.h"
#include "model/NumberParser.h"

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

PathBox CommonBox(const TPaths& list, const std::vector<std::size_t>& which) {
  PathBox box;
  bool any = false;
  for (const std::size_t i : which) {
    if (list[i].empty()) continue;
    const PathBox b = BoxOfPath(list[i]);
    if (!any) box = b, any = true;
    box.minX = std::min(box.minX, b.minX), box.maxX = std::max(box.maxX, b.maxX);
    box.minY = std::min(box.minY, b.minY), box.maxY = std::max(box.maxY, b.maxY);
  }
  return box;
}

// The centre of a box, each coordinate rounded towards zero.
IntPoint CentreOf(const PathBox& box) { return {(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2}; }

}  // namespace

bool NothingChosen(const ImportSession& s) {
  return std::none_of(s.chosen.begin(), s.chosen.end(), [](char c) { return c != 0; });
}

void ChooseAll(ImportSession& s) { s.chosen.assign(s.cutting.size(), 1); }
void ChooseNone(ImportSession& s) { s.chosen.assign(s.cutting.size(), 0); }

std::vector<std::size_t> ChosenOrAll(const ImportSession& s) {
  std::vector<std::size_t> which;
  const bool all = NothingChosen(s);
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (all || (i < s.chosen.size() && s.chosen[i])) which.push_back(i);
  return which;
}

double RotateStep(bool rightButton, bool ctrl) {
  if (ctrl) return 0.25 * std::numbers::pi / 180;
  return rightButton ? std::numbers::pi / 48 : std::numbers::pi / 2;
}

void RotateChosen(ImportSession& s, double angle) {
  const std::vector<std::size_t> which = ChosenOrAll(s);
  const IntPoint c = CentreOf(CommonBox(s.cutting, which));
  const double cs = std::cos(angle), sn = std::sin(angle);
  for (const std::size_t i : which)
    for (IntPoint& p : s.cutting[i]) {
      const double x = static_cast<double>(p.X - c.X), y = static_cast<double>(p.Y - c.Y);
      p = {c.X + std::llround(cs * x - sn * y), c.Y + std::llround(sn * x + cs * y)};
    }
  s.CuttingChanged();
}

void MirrorChosen(ImportSession& s, bool mirrorX) {
  const std::vector<std::size_t> which = ChosenOrAll(s);
  const IntPoint c = CentreOf(CommonBox(s.cutting, which));
  for (const std::size_t i : which)
    for (IntPoint& p : s.cutting[i]) (mirrorX ? p.X : p.Y) = 2 * (mirrorX ? c.X : c.Y) - (mirrorX ? p.X : p.Y);
  s.CuttingChanged();
}

ChosenSize SizeOfChosen(const ImportSession& s, bool firstOnly) {
  std::vector<std::size_t> which = ChosenOrAll(s);
  if (firstOnly && which.size() > 1) which.erase(which.begin() + 1, which.end());
  const PathBox box = CommonBox(s.cutting, which);
  if (which.empty()) return {};
  return {box.maxX - box.minX, box.maxY - box.minY};
}

double ScaleFactorFor(double entered, double current) {
  if (!(current > 0) || !std::isfinite(entered)) return 1.0;
  const double factor = std::round(entered / current * 1e8) / 1e8;
  return std::clamp(factor, 0.05, 10.0);
}

void ScaleChosen(ImportSession& s, double factorX, double factorY, bool eachAboutItself) {
  const std::vector<std::size_t> which = ChosenOrAll(s);
  const IntPoint common = CentreOf(CommonBox(s.cutting, which));
  for (const std::size_t i : which) {
    const IntPoint c = eachAboutItself ? CentreOf(BoxOfPath(s.cutting[i])) : common;
    for (IntPoint& p : s.cutting[i])
      p = {std::llround(static_cast<double>(p.X - c.X) * factorX) + c.X,
           std::llround(static_cast<double>(p.Y - c.Y) * factorY) + c.Y};
  }
  s.CuttingChanged();
}

void DeleteChosen(ImportSession& s) {
  TPaths kept;
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (!(i < s.chosen.size() && s.chosen[i])) kept.push_back(std::move(s.cutting[i]));
  s.cutting = std::move(kept);
  ChooseNone(s);
  s.CuttingChanged();
}

bool DisableChosen(ImportSession& s) {
  if (NothingChosen(s)) return false;
  TPaths kept;
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    (i < s.chosen.size() && s.chosen[i] ? s.disabled : kept).push_back(std::move(s.cutting[i]));
  s.cutting = std::move(kept);
  ChooseNone(s);
  s.CuttingChanged();
  return true;
}

void DragChosen(ImportSession& s, cInt dx, cInt dy) {
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (i < s.chosen.size() && s.chosen[i])
      for (IntPoint& p : s.cutting[i]) p.X += dx, p.Y += dy;
  s.CuttingChanged();
}

cInt PasteGap(const std::string& distanceField, int toolSlider, const NumberParser& parser) {
  const cInt gap = static_cast<cInt>(parser.ParseInt2(distanceField)) * 100;
  return gap != 0 ? gap : static_cast<cInt>(toolSlider) * 30;
}

void CopyChosen(const ImportSession& s, EditorClipboard& clipboard, cInt gap) {
  clipboard = {};
  clipboard.gap = gap;
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (i < s.chosen.size() && s.chosen[i]) clipboard.paths.push_back(s.cutting[i]);
  const EditorExtent e = ExtentOfLists({&clipboard.paths});
  if (!e.any) return;
  ShiftLists({&clipboard.paths}, e.minX, e.minY);
  clipboard.extentX = e.maxX - e.minX;
  clipboard.extentY = e.maxY - e.minY;
}

bool Paste(ImportSession& s, const EditorClipboard& clipboard, bool above) {
  if (clipboard.paths.empty()) return false;
  const cInt dx = above ? 0 : s.extentX() + clipboard.gap, dy = above ? s.extentY() + clipboard.gap : 0;
  const std::size_t first = s.cutting.size();
  for (TPath path : clipboard.paths) {
    for (IntPoint& p : path) p.X += dx, p.Y += dy;
    s.cutting.push_back(std::move(path));
  }
  s.Normalise();
  s.chosen.assign(s.cutting.size(), 0);
  for (std::size_t i = first; i < s.cutting.size(); ++i) s.chosen[i] = 1;
  return true;
}

void ChooseInside(ImportSession& s, const PathBox& r) {
  s.chosen.resize(s.cutting.size(), 0);
  for (std::size_t i = 0; i < s.cutting.size(); ++i) {
    const PathBox b = BoxOfPath(s.cutting[i]);
    if (!s.cutting[i].empty() && b.minX >= r.minX && b.maxX <= r.maxX && b.minY >= r.minY && b.maxY <= r.maxY)
      s.chosen[i] = 1;
  }
}

std::size_t ToggleAt(ImportSession& s, const IntPoint& p, double tolerance, bool withHoles, bool openDetect) {
  s.chosen.resize(s.cutting.size(), 0);
  std::size_t toggled = 0;
  for (std::size_t i = 0; i < s.cutting.size(); ++i) {
    if (!NearOutline(s.cutting[i], p, tolerance)) continue;
    s.chosen[i] = s.chosen[i] ? 0 : 1;
    ++toggled;
    if (!withHoles) continue;
    const Nesting& nesting = s.EnsureNesting(openDetect);
    for (std::size_t k = 0; k < s.cutting.size(); ++k)
      if (nesting.records[k].parent == static_cast<int>(i) && nesting.records[k].depth > 0) s.chosen[k] = s.chosen[i];
  }
  return toggled;
}

int ContourAt(const ImportSession& s, const IntPoint& p, double tolerance) {
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (NearOutline(s.cutting[i], p, tolerance)) return static_cast<int>(i);
  return -1;
}

bool NearChosen(const ImportSession& s, const IntPoint& p, double tolerance) {
  for (std::size_t i = 0; i < s.cutting.size(); ++i)
    if (i < s.chosen.size() && s.chosen[i] && NearOutline(s.cutting[i], p, tolerance)) return true;
  return false;
}

SequenceClick PlaceInSequence(ImportSession& s, std::size_t contour, int& position) {
  const auto target = static_cast<std::size_t>(std::max(position, 0));
  if (target >= s.cutting.size() || contour >= s.cutting.size()) return SequenceClick::Ignored;
  s.chosen.resize(s.cutting.size(), 0);
  TPath moved = std::move(s.cutting[contour]);
  const char flag = s.chosen[contour];
  s.cutting.erase(s.cutting.begin() + static_cast<std::ptrdiff_t>(contour));
  s.chosen.erase(s.chosen.begin() + static_cast<std::ptrdiff_t>(contour));
  s.cutting.insert(s.cutting.begin() + static_cast<std::ptrdiff_t>(target), std::move(moved));
  s.chosen.insert(s.chosen.begin() + static_cast<std::ptrdiff_t>(target), flag);
  s.chosen[target] = s.chosen[target] ? 0 : 1;
  s.CuttingChanged();
  ++position;
  return static_cast<std::size_t>(position) >= s.cutting.size() ? SequenceClick::Finished : SequenceClick::Placed;
}

}  // namespace corvane
