#pragma once
// The one place that opens any audio file the engine can play, chosen by the
// file name's extension.
#include <string>

#include "sound/sound_stream.h"

// Never empty: an LSoundSourceNull carries the error code when the file
// cannot be played.
LSoundSourceRef OpenAudioFileSource(const std::string& path);

// True when path ends in extension (".mp3"), letter case ignored.
bool AudioFileHasExtension(const std::string& path, const char* extension);
