#include "tutor/command_rules.h"

namespace {

using T = TutorIds;

bool IsMediaCommand(int command) {
  switch (command) {
    case T::CM_IMAGE_NEW:
    case T::CM_IMAGE_EXISTING:
    case T::CM_IMAGE_REMOVE:
    case T::CM_IMAGE_EDIT:
    case T::CM_AUDIO_NEW:
    case T::CM_AUDIO_EXISTING:
    case T::CM_AUDIO_REMOVE:
    case T::CM_AUDIO_PLAY:
    case T::CM_AUDIO_EDIT:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool TutorMenuEnabled(int command, const TutorState& s) {
  bool L = s.lessonOpen, E = L && s.expressionSelected;
  bool I = E && s.imageExists, A = E && s.audioLength;
  if (IsMediaCommand(command) && !s.mediaCommands) return false;
  switch (command) {
    case T::CM_LESSON_NEW:
    case T::CM_LESSON_OPEN:
    case T::CM_SETTINGS:
    case T::CM_EXIT:
    case T::CM_HELP_CONTENTS:
    case T::CM_WEB_HOME:
    case T::CM_WEB_SUPPORT:
    case T::CM_WEB_MAKER:
    case T::CM_HELP_ABOUT:
      return true;
    case T::CM_LESSON_DELETE:
    case T::CM_LESSON_CLOSE:
    case T::CM_LESSON_PREVIEW:
    case T::CM_LESSON_PROPERTIES:
    case T::CM_EXPRESSION_NEW:
      return L;
    case T::CM_EXPRESSION_DELETE:
    case T::CM_EXPRESSION_RENAME:
    case T::CM_IMAGE_NEW:
    case T::CM_IMAGE_EXISTING:
    case T::CM_EXPLANATION_EXISTING:
    case T::CM_AUDIO_NEW:
    case T::CM_AUDIO_EXISTING:
      return E;
    case T::CM_IMAGE_REMOVE:
    case T::CM_IMAGE_EDIT:
      return I;
    case T::CM_AUDIO_PLAY:
    case T::CM_AUDIO_REMOVE:
    case T::CM_AUDIO_EDIT:
      return A;
    default:
      return false;
  }
}

bool TutorToolEnabled(int command, const TutorState& s) {
  if (!TutorMenuEnabled(command, s)) return false;
  switch (command) {
    // A file that is playing is neither replaced nor removed.
    case T::CM_AUDIO_NEW:
    case T::CM_AUDIO_EXISTING:
    case T::CM_AUDIO_REMOVE:
    case T::CM_AUDIO_EDIT:
      return s.playerIdle;
    default:
      return true;
  }
}

bool TutorPlaybackControlsEnabled(const TutorState& s) {
  return s.mediaCommands && s.lessonOpen && s.expressionSelected && s.audioLength;
}
