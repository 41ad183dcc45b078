// orativo-analyse pitch FILE | orativo-analyse align TUTOR STUDENT
//
// pitch: one line per 10 ms frame, the time in seconds and the pitch in Hz
// (0 where unvoiced). align: one line per 10 ms tutor frame, the tutor time
// and the student time it matches, both in seconds.
#include <cstdio>
#include <string>

#include "analysis/align.h"
#include "analysis/analysis_audio.h"
#include "analysis/pitch_track.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: orativo-analyse pitch FILE\n"
               "       orativo-analyse align TUTOR STUDENT\n");
  return 2;
}

bool Load(const char* path, LAnalysisAudio* audio) {
  *audio = AnalysisAudioFromFile(path);
  if (audio->rate > 0) return true;
  std::fprintf(stderr, "orativo-analyse: cannot read %s as audio\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pitch" && argc == 3) {
    LAnalysisAudio audio;
    if (!Load(argv[2], &audio)) return 1;
    std::vector<float> hz = TrackPitch(audio.samples, audio.rate);
    for (size_t i = 0; i < hz.size(); ++i) std::printf("%.2f %.1f\n", double(i) * kPitchFrameSeconds, double(hz[i]));
    return 0;
  }
  if (command == "align" && argc == 4) {
    LAnalysisAudio tutor, student;
    if (!Load(argv[2], &tutor) || !Load(argv[3], &student)) return 1;
    for (const LAlignPair& p : AlignRecordings(tutor.samples, tutor.rate, student.samples, student.rate))
      std::printf("%.2f %.3f\n", p.tutorSeconds, p.studentSeconds);
    return 0;
  }
  return Usage();
}
