#include "import/UndoRing.h"

namespace corvane {
namespace {

std::size_t ListBytes(const TPaths& list) {
  std::size_t bytes = list.capacity() * sizeof(TPath);
  for (const TPath& path : list) bytes += path.capacity() * sizeof(ClipperLib::IntPoint);
  return bytes;
}

}  // namespace

std::size_t SnapshotBytes(const EditorSnapshot& s) {
  return sizeof(EditorSnapshot) + ListBytes(s.cutting) + ListBytes(s.marker) + ListBytes(s.disabled) +
         s.chosen.capacity();
}

void UndoRing::Push(EditorSnapshot snapshot) {
  for (TPaths* list : {&snapshot.cutting, &snapshot.marker, &snapshot.disabled}) {
    list->shrink_to_fit();
    for (TPath& path : *list) path.shrink_to_fit();
  }
  snapshot.chosen.shrink_to_fit();
  const std::size_t bytes = SnapshotBytes(snapshot);
  steps_.push_back({std::move(snapshot), bytes});
  bytes_ += bytes;
  while (steps_.size() > 1 && (steps_.size() > kMaxSteps || bytes_ > budget_)) {
    bytes_ -= steps_.front().bytes;
    steps_.pop_front();
  }
}

std::optional<EditorSnapshot> UndoRing::Pop() {
  if (steps_.empty()) return std::nullopt;
  Step step = std::move(steps_.back());
  steps_.pop_back();
  bytes_ -= step.bytes;
  return std::move(step.snapshot);
}

void UndoRing::Clear() {
  steps_.clear();
  bytes_ = 0;
}

}  // namespace corvane
