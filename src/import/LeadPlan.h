#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "import/EditorLists.h"

namespace corvane {

// A lead record: 32 points. Slot 0 is the pierce point ((0, 0): no lead),
// 1..14 the lead-in, 15 the point M on the contour where the cut joins it,
// 16..29 the lead-out (slot 29 = (0, 0): none), slot 30's X the index of the
// contour vertex where the joined segment starts (−1: no lead found).
using LeadRecord = TPath;
inline constexpr std::size_t kLeadSlots = 32;
inline constexpr std::size_t kLeadAttach = 15;
inline constexpr std::size_t kLeadOutEnd = 29;
inline constexpr std::size_t kLeadSegment = 30;

struct LeadOptions {
  bool leadIn = false;      // cLeadIn
  bool leadOut = false;     // cLeadOut
  bool straightIn = false;  // cLeadIn2: a straight line square to the contour
  bool alongOut = false;    // cLeadOut2: the lead-out follows the contour
  ClipperLib::cInt length = 300;  // lead-in length f, 0.01 mm
  double ratio = 4;               // eInOut: lead-in length / lead-out length
  bool ratioIsOne = false;        // the ratio field reads exactly "1"
};

// The lead length f from the lead slider (mm, or 0.05 in steps in inch mode).
ClipperLib::cInt LeadLength(int sliderPosition, bool inches);

struct LeadPlanResult {
  std::vector<LeadRecord> records;  // one per contour
  std::size_t shortened = 0;        // contours that got the quarter-length lead
  std::size_t withoutLead = 0;      // closed contours no segment could take a lead on
};

// Plans a lead for every closed contour: the first segment whose lead starts
// on the scrap side, clear of the contour, wins when the lead as drawn (every
// slot) touches its own contour only at M and meets no other contour of the
// list (offset contours and open cut lines alike), so that its pierce point
// lies on the same side of every other contour as the contour itself (never
// inside a neighbouring part); a second pass tries a quarter of the length.
// Open contours get an empty record.
LeadPlanResult PlanLeads(const TPaths& processed, const LeadOptions& options);

// The lead of one contour of the list, as PlanLeads would plan it.
LeadRecord PlanLead(const TPaths& processed, std::size_t contour, const LeadOptions& options);

// The contours with their leads: each one is cut from its lead-in round the
// whole contour back to M and out along its lead-out.
TPaths AttachLeads(const TPaths& processed, const std::vector<LeadRecord>& records);

// True when a segment of `a` properly crosses a segment of `b` (orientations
// worked out on coordinates divided by 8, in 128-bit arithmetic).
bool SegmentsCross(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b,
                   const ClipperLib::IntPoint& c, const ClipperLib::IntPoint& d);

}  // namespace corvane
