#pragma once
// Which tutor commands are available in a given state of the window. The menu
// and the toolbars ask the same rules, so a command is never offered in one
// place and refused in the other.
#include "tutor/tutor_ids.h"

struct TutorState {
  bool lessonOpen = false;          // L
  bool expressionSelected = false;  // E (implies L)
  bool imageExists = false;         // I: the selected expression's image file exists
  bool audioLength = false;         // A: the selected expression's audio is longer than 0 ms
  bool playerIdle = true;           // P
  bool mediaCommands = false;       // the image and audio commands are built
};

// The menu rule of a command; false for ids that are not commands.
bool TutorMenuEnabled(int command, const TutorState& state);
// The toolbar rule (the audio buttons that change the file also wait for the player).
bool TutorToolEnabled(int command, const TutorState& state);
// The position bar, level meter and volume control.
bool TutorPlaybackControlsEnabled(const TutorState& state);
