#pragma once
// Control and command ids of the tutor window, shared by the window and the
// widget-free rules that decide what it enables.

struct TutorIds {
  // Controls of template 1.
  enum : int {
    kList = 101,
    kStatus = 102,
    kExplanation = 103,
    kPage = 104,
    kExplanationHost = 105,
    kImageHost = 106,
    kAudioHost = 107,
    kPosition = 109,
    kLevel = 110,
    kVolume = 111,
    kMainBar = 80,
    kExplanationBar = 81,
    kImageBar = 82,
    kAudioBar = 83
  };
  // Commands.
  enum : int {
    CM_LESSON_NEW = 1001,
    CM_LESSON_OPEN = 1002,
    CM_LESSON_DELETE = 1003,
    CM_LESSON_CLOSE = 1004,
    CM_LESSON_PREVIEW = 1005,
    CM_SETTINGS = 1007,
    CM_LESSON_PROPERTIES = 1008,
    CM_EXIT = 1040,
    CM_EXPRESSION_NEW = 2001,
    CM_EXPRESSION_DELETE = 2002,
    CM_EXPRESSION_RENAME = 2003,
    CM_IMAGE_NEW = 2004,
    CM_IMAGE_EXISTING = 2005,
    CM_IMAGE_REMOVE = 2006,
    CM_IMAGE_EDIT = 2007,
    CM_AUDIO_NEW = 2008,
    CM_AUDIO_EXISTING = 2009,
    CM_AUDIO_REMOVE = 2010,
    CM_AUDIO_PLAY = 2011,
    CM_AUDIO_EDIT = 2012,
    CM_EXPLANATION_EXISTING = 3000,
    CM_HELP_CONTENTS = 6001,
    CM_WEB_HOME = 6002,
    CM_WEB_SUPPORT = 6003,
    CM_WEB_MAKER = 6019,
    CM_HELP_ABOUT = 6050
  };
};
