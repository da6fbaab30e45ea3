#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "import/ImportSession.h"

namespace corvane {

class NumberParser;

// The import editor's operations on the cutting list. Each acts on the chosen
// contours, or on all of them when none is chosen, and marks the cutting list
// changed; the window takes the undo snapshot before and processes after.

bool NothingChosen(const ImportSession& session);
void ChooseAll(ImportSession& session);
void ChooseNone(ImportSession& session);
// Indices of the chosen contours, or of all when none is chosen.
std::vector<std::size_t> ChosenOrAll(const ImportSession& session);

// The rotate buttons' angle in radians (positive turns counter-clockwise):
// 90 degrees with the left button, 3.75 with the right, 0.25 with Ctrl held.
double RotateStep(bool rightButton, bool ctrl);
// Turns the contours about the centre of their common box.
void RotateChosen(ImportSession& session, double angle);
// Mirrors X (or Y) about the middle of the contours' common box.
void MirrorChosen(ImportSession& session, bool mirrorX);

struct ChosenSize {
  ClipperLib::cInt width = 0, height = 0;
};
// Size of the chosen contours together, or of the first chosen one only.
ChosenSize SizeOfChosen(const ImportSession& session, bool firstOnly);
// The factor that makes `current` into `entered`: 8 decimals, kept within 0.05 … 10.
double ScaleFactorFor(double entered, double current);
// Scales about the common box's centre, or each contour about its own.
void ScaleChosen(ImportSession& session, double factorX, double factorY, bool eachAboutItself);

void DeleteChosen(ImportSession& session);
// Moves the chosen contours to the disabled list; false (and nothing done) when none is chosen.
bool DisableChosen(ImportSession& session);
// Shifts the chosen contours by (dx, dy) while they are dragged.
void DragChosen(ImportSession& session, ClipperLib::cInt dx, ClipperLib::cInt dy);

// Contours copied from the cutting list, moved to the origin.
struct EditorClipboard {
  TPaths paths;
  ClipperLib::cInt extentX = 0, extentY = 0;
  ClipperLib::cInt gap = 0;
};
// The gap between pasted copies or added drawings: `xDist` in whole mm, or
// three tool sizes when it is 0.
ClipperLib::cInt PasteGap(const std::string& distanceField, int toolSlider, const NumberParser& parser);
void CopyChosen(const ImportSession& session, EditorClipboard& clipboard, ClipperLib::cInt gap);
// Appends the clipboard beside the drawing (to the right, or above) and chooses
// the pasted contours; false when the clipboard is empty.
bool Paste(ImportSession& session, const EditorClipboard& clipboard, bool above);

// Box selection: every contour whose box lies inside the rectangle becomes chosen.
void ChooseInside(ImportSession& session, const PathBox& rectangle);
// A click: every contour passing within `tolerance` of p toggles; with
// `withHoles` the contours nested directly in it take the same state.
// Returns how many toggled.
std::size_t ToggleAt(ImportSession& session, const ClipperLib::IntPoint& p, double tolerance, bool withHoles,
                     bool openDetect);
// The first cutting contour passing within `tolerance` of p; −1 when none.
int ContourAt(const ImportSession& session, const ClipperLib::IntPoint& p, double tolerance);
// True when p lies within `tolerance` of a chosen contour's outline (a drag starts).
bool NearChosen(const ImportSession& session, const ClipperLib::IntPoint& p, double tolerance);

// Manual sequence ("Handly"): each click puts a contour at the next position.
enum class SequenceClick { Placed, Ignored, Finished };
SequenceClick PlaceInSequence(ImportSession& session, std::size_t contour, int& position);

}  // namespace corvane
