// orativo-vokenc IN OUT.vok : encodes any audio file the engine can play (WAV,
// codec-compressed WAV, MP3, VOK) as a compact VOK voice file. Exit status 0
// on success, 1 on a usage error, 2 when the input cannot be played, 3 when
// the output cannot be written.
#include <cstdio>

#include "sound/files/audio_file_open.h"
#include "sound/files/vok_encoder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orativo-vokenc IN OUT.vok\n");
    return 1;
  }
  LSoundSourceRef source = OpenAudioFileSource(argv[1]);
  if (!source.IsUsable()) {
    std::fprintf(stderr, "orativo-vokenc: %s cannot be played (error %d)\n", argv[1], int(source->error));
    return 2;
  }
  if (!WriteVOKFromSource(argv[2], source.Get())) {
    std::fprintf(stderr, "orativo-vokenc: cannot write %s\n", argv[2]);
    return 3;
  }
  return 0;
}
