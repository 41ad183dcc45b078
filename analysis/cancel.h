#pragma once
// A test the long analysis loops ask now and then, so a closing window need
// not wait for a whole step. Empty: never cancelled.
#include <functional>

using LAnalysisCancel = std::function<bool()>;

inline bool AnalysisCancelled(const LAnalysisCancel& cancel) { return cancel && cancel(); }

// How often the frame loops ask: often enough to stop within milliseconds.
constexpr int kCancelCheckFrames = 100;
