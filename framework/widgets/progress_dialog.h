#pragma once
// A progress window that runs a work routine on the window thread. The
// routine calls Pump() regularly, which keeps the interface alive and tells
// it when the user has cancelled. Work written against LCopyProgress (a file
// copy, say) reports to it directly.
#include <QPointer>
#include <functional>
#include <string>

#include "framework/lprogress.h"

class QDialog;
class QWidget;

class LProgressDialog : public LCopyProgress {
 public:
  static constexpr int kLine0 = 100;
  static constexpr int kLine1 = 101;
  static constexpr int kProgress = 102;

  explicit LProgressDialog(std::string title) : title_(std::move(title)) {}
  virtual ~LProgressDialog();
  LProgressDialog(const LProgressDialog&) = delete;
  LProgressDialog& operator=(const LProgressDialog&) = delete;

  // Shows the window, disables owner and returns Process()'s result.
  bool Run(QWidget* owner);
  void SetText(const std::string& text, int line) override;
  void SetProgress(double fraction) override;
  // Handles waiting input; true once the window is gone (cancelled).
  bool Pump();
  bool Cancelled() override { return Pump(); }
  // Waits for an object while pumping: waitFor(ms) waits up to ms and is true
  // once the object is signalled. 0 signalled, 1 cancelled, 2 time-out.
  int WaitWhilePumping(const std::function<bool(int milliseconds)>& waitFor, int timeoutMs);

  QDialog* Window() const { return window_; }

 protected:
  virtual bool Process() = 0;
  virtual bool MessageHook(unsigned /*message*/, uintptr_t /*wParam*/, intptr_t /*lParam*/) { return false; }

 private:
  void Cancel();
  std::string title_;
  QPointer<QDialog> window_;
};
