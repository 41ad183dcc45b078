#pragma once
// LPanelFile: the sound file a player or record panel works on, described
// and owned by the panel's creator.
//
// LPanelTake: the record panel never writes over the file's audio while it
// records. Takes go to a work file beside it; only when the panel closes with
// a take that holds audio is the take put in place, so Esc, a crash or an
// empty take leave the old audio exactly as it was.
#include <cstdint>
#include <string>

#include "sound/sound_stream.h"

class LPanelFile {
 public:
  enum Flags : uint16_t {
    kNameReadOnly = 0x01,
    kNameChanged = 0x02,  // set by the panel when the user edited the name
    kEndOnStop = 0x40,    // the record panel closes itself when a recording is stopped
  };

  LPanelFile() = default;
  LPanelFile(std::string name, std::string path, int32_t sampleRate = 44100, uint8_t channels = 1, uint16_t flags = 0);
  virtual ~LPanelFile() = default;

  // The file's audio, in any format the engine reads; never empty.
  virtual LSoundSourceRef OpenSource();
  // A 16-bit PCM WAV sink at sinkPath with this file's rate and channels,
  // writing from startMs on; the frames before it are kept.
  virtual LSoundSinkRef OpenSink(const std::string& sinkPath, int32_t startMs);
  // Makes the finished take (a WAV file in the same folder) the file's audio:
  // at path when that names a WAV file, else at path with the extension
  // ".wav", the old file removed and path changed to it. Callers that keep a
  // record of the audio's type extend this. False when the take could not be
  // put in place.
  virtual bool PutTakeInPlace(const std::string& takePath);

  uint16_t flags = 0;
  std::string name;
  std::string path;
  int32_t sampleRate = 44100;
  uint8_t channels = 1;
};

class LPanelTake {
 public:
  enum Outcome { kKept, kReplaced, kFailed };

  explicit LPanelTake(LPanelFile& file);
  ~LPanelTake();  // a take never finished is thrown away
  LPanelTake(const LPanelTake&) = delete;
  LPanelTake& operator=(const LPanelTake&) = delete;

  // "{folder}/{stem}.take.wav": the same folder, so putting it in place is a
  // rename; expression names hold no dots, so it is nobody else's file.
  static std::string WorkPathFor(const std::string& path);

  const std::string& WorkPath() const { return workPath_; }
  // A take was started in the work file (it may still be empty).
  bool HasTake() const { return started_; }
  bool TakeHoldsAudio() const;
  // What the panel shows and plays: the take once it holds audio, else the file's audio.
  LSoundSourceRef OpenSource();
  // The sink of a recording from startMs. The take's frames before it are
  // kept; a first take from a later point starts from the file's audio when
  // that has the take's rate and channels. Empty when it cannot be made.
  LSoundSinkRef OpenSink(int32_t startMs);
  // When the panel closes: a take holding audio is put in place (kReplaced,
  // or kFailed with the take left beside the file); an empty take is removed
  // and the file stays as it was (kKept).
  Outcome Finish();

 private:
  void Seed(int32_t startMs);

  LPanelFile& file_;
  std::string workPath_;
  bool started_ = false;
};
