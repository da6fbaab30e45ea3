#pragma once
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "import/EditorLists.h"

namespace corvane {

// The editor's lists as they were before an edit.
struct EditorSnapshot {
  TPaths cutting, marker, disabled;
  std::vector<char> chosen;
};

// Memory a snapshot holds: its vertices, its path headers and its flags.
std::size_t SnapshotBytes(const EditorSnapshot& snapshot);

// The import editor's undo steps: at most 256 of them and at most `budget`
// bytes together. The oldest steps go first; the newest is always kept, so
// even a drawing bigger than the budget can undo its last edit.
class UndoRing {
 public:
  static constexpr std::size_t kMaxSteps = 256;
  static constexpr std::size_t kDefaultBudget = std::size_t{128} << 20;

  explicit UndoRing(std::size_t budget = kDefaultBudget) : budget_(budget) {}

  void Push(EditorSnapshot snapshot);
  // The newest step, removed from the ring; nullopt when there is none.
  std::optional<EditorSnapshot> Pop();
  void Clear();

  std::size_t size() const { return steps_.size(); }
  std::size_t bytes() const { return bytes_; }
  std::size_t budget() const { return budget_; }

 private:
  struct Step {
    EditorSnapshot snapshot;
    std::size_t bytes;
  };
  std::deque<Step> steps_;
  std::size_t bytes_ = 0;
  std::size_t budget_;
};

}  // namespace corvane
