#include "sound/files/audio_file_open.h"

#include <strings.h>

#include <cstring>

#include "sound/files/mp3_source.h"
#include "sound/files/vok_file.h"
#include "sound/files/wave_file.h"

bool AudioFileHasExtension(const std::string& path, const char* extension) {
  size_t n = std::strlen(extension);
  return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, extension) == 0;
}

LSoundSourceRef OpenAudioFileSource(const std::string& path) {
  // Formats with a reader of their own add one extension test each here.
  if (AudioFileHasExtension(path, ".mp3")) return OpenMP3Source(path);
  if (AudioFileHasExtension(path, ".vok")) return OpenVOKSource(path);
  return LWaveFile::OpenSource(path);
}
