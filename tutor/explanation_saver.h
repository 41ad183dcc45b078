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
  // The edit still holds text of recordPath that could not be written: the
  // window keeps it there rather than refilling from the file.
  bool HoldsUnsaved(const std::string& recordPath) const { return owner_ == recordPath && unsaved_ == recordPath; }
  // The owner's text could not be written by the window itself.
  void MarkUnsaved() { unsaved_ = owner_; }
  // The tutor changed the text; false when the edit belongs to no expression.
  bool Changed();
  bool Pending() const { return pending_; }
  const std::string& Owner() const { return owner_; }
  // Writes text as the owner's explanation when a change waits; returns the
  // record written to, or "" when nothing was written. A write that fails
  // waits for the next edit; *tell is true for the first failure of an owner
  // since its last good write, so the tutor is told once, not at every pause.
  std::string Save(const std::string& text, bool* tell = nullptr);
  // The owner's files are going away or changing name: nothing more is written.
  void Release();

 private:
  std::string owner_;
  std::string unsaved_;
  bool pending_ = false;
};
