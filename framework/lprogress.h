#pragma once
// What a long piece of work reports to whoever shows its progress, and how it
// learns of a cancel. Window-free, so the work can live in any layer and the
// progress window (framework/widgets/progress_dialog.h) implements it.
#include <string>

class LCopyProgress {
 public:
  virtual ~LCopyProgress() = default;
  virtual void SetText(const std::string& text, int line) = 0;  // line 0 or 1
  virtual void SetProgress(double fraction) = 0;                // 0..1
  virtual bool Cancelled() = 0;                                 // also keeps the window alive
};
