#pragma once
// The tutor's "Settings": the lessons folder and how new audio files are made
// ("PromptSampleAndChannels", "DefaultSampleRate" as an index into the
// sample-rate list, "DefaultChannels" 0 mono or 1 stereo; section "Settings").
#include "framework/widgets/dialog.h"

class SetDlg : public LDialog {
 public:
  enum : int { kLessons = 101, kBrowse = 102, kPrompt = 103, kUseDefault = 104 };
  enum : int { kRateLabel = 105, kRate = 106, kChannelsLabel = 107, kChannels = 108 };
  static constexpr int kHelpTopic = 103;
  static constexpr int kDefaultRateIndex = 6;  // 44100 Hz, as Record New

  // foldersChanged (may be null) is set when OK stores a changed lessons folder.
  explicit SetDlg(bool* foldersChanged) : foldersChanged_(foldersChanged) {}
  static const LDialogTemplate& Template();
  int Run(QWidget* owner) { return DoModal(Template(), owner); }

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;

 private:
  bool* foldersChanged_;
};
