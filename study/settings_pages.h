#pragma once
// The study window's settings: the General page (folders and silence gaps),
// the Audio page (devices, input line, volumes, voice level) and the
// "Settings" sheet that shows both.
#include <string>

#include "framework/widgets/property_sheet.h"

class LGeneralPage : public LPropertyPage {
 public:
  enum : int { kLessons = 101, kLessonsBrowse = 102, kRecordings = 103, kRecordingsBrowse = 104 };
  enum : int { kPlayGap = 105, kRecordGap = 106 };
  static constexpr int kHelpTopic = 103;

  // foldersChanged (may be null) is set when OK stores a changed folder.
  explicit LGeneralPage(bool* foldersChanged);
  static const LDialogTemplate& Template();

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void EvCommand(int id, int notifyCode) override;

 private:
  void Browse(int editId);
  bool* foldersChanged_;
};

class LAudioPage : public LPropertyPage {
 public:
  enum : int { kInDevice = 101, kInChannel = 102, kInVolume = 103, kMixer = 104, kOutDevice = 106 };
  enum : int { kOutVolume = 110, kVoiceLevel = 113 };
  static constexpr int kHelpTopic = 104;

  explicit LAudioPage(bool* foldersChanged = nullptr);
  static const LDialogTemplate& Template();

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
  void SetupRecordChannels();

 private:
  bool* foldersChanged_;
};

// What the "Settings" sheet changed, for the window to act on.
struct StudySettingsResult {
  bool foldersChanged = false;  // ask whether to close ("Shut Down")
  bool gapsChanged = false;     // a silence gap differs from before
};
// Runs the sheet modally; IDOK or IDCANCEL. Volumes are stored and applied
// while it runs, also when it is cancelled.
int RunStudySettings(QWidget* owner, StudySettingsResult* result);
