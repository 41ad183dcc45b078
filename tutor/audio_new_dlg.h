#pragma once
// "Record New": sample rate and channel count of a new recording, kept as
// "SelectedSampleRate" and "SelectedChannels" (section "Settings", per user).
#include "framework/widgets/dialog.h"

class AudioNewDlg : public LDialog {
 public:
  enum : int { kRate = 109, kMono = 110, kStereo = 111 };
  static constexpr int kHelpTopic = 107;
  static constexpr int kDefaultRate = 44100;

  static const LDialogTemplate& Template();
  // IDOK with the choice stored (read it with SelectedRate/SelectedChannels), else IDCANCEL.
  int Run(QWidget* owner) { return DoModal(Template(), owner); }
  static int SelectedRate();
  static int SelectedChannels();

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
};
