#pragma once
// The explanation edit belongs to the expression it was last filled for. A
// change waits (the window's timer) and is then written to that expression,
// even when another expression has been selected meanwhile.
#include <string>

class ExplanationSaver {
 public:
  static constexpr int kSaveDelayMs = 700;

  // The edit now shows recordPath's explanation; nothing is waiting.
  void Filled(const std::string& recordPath);
  // The tutor changed the text; false when the edit belongs to no expression.
  bool Changed();
  bool Pending() const { return pending_; }
  const std::string& Owner() const { return owner_; }
  // Writes text as the owner's explanation when a change waits; returns the
  // record written to, or "" when nothing was written. *failed tells a write
  // that did not succeed; the change then waits for the next edit.
  std::string Save(const std::string& text, bool* failed = nullptr);
  // The owner's files are going away or changing name: nothing more is written.
  void Release();

 private:
  std::string owner_;
  bool pending_ = false;
};
