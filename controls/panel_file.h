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
  // PlaceTake, then RemoveReplaced. Callers that keep a record of the audio's
  // type override this and record the type in between, so that a failure
  // midway never leaves the record naming a file that is gone. False when
  // the take could not be put in place.
  virtual bool PutTakeInPlace(const std::string& takePath);
  // Renames the take to path when that names a WAV file, else to path with
  // the extension ".wav", and changes path to it; the old audio under its
  // other name stays, named in *replaced ("" when there is none).
  bool PlaceTake(const std::string& takePath, std::string* replaced);
  // Removes the audio PlaceTake replaced under another name.
  static void RemoveReplaced(const std::string& replaced);

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
  // The take holds frames a recorder wrote, not only the copy of the file's
  // audio a take from a later point begins with.
  bool TakeHoldsAudio() const;
  // What the panel shows and plays: the take once it holds audio, else the file's audio.
  LSoundSourceRef OpenSource();
  // The sink of a recording from startMs. The take's frames before it are
  // kept; a first take from a later point starts from the file's audio when
  // that has the take's rate and channels. The take as it was is kept aside
  // until Keep or Revert. Empty, and the take as it was, when it cannot be made.
  LSoundSinkRef OpenSink(int32_t startMs);
  // The recording started: the take as it was is let go.
  void Keep();
  // The recording could not start (its sink released): the take is again as it was.
  void Revert();
  // When the panel closes: a take holding audio is put in place (kReplaced,
  // or kFailed with the take left beside the file); an empty take is removed
  // and the file stays as it was (kKept).
  Outcome Finish();

 private:
  int32_t Seed(int32_t startMs);

  LPanelFile& file_;
  std::string workPath_;
  std::string savedPath_;  // the take as it was while a recording starts
  bool started_ = false;
  bool saved_ = false;
  int32_t copiedFrames_ = 0;  // the take's first frames, copied from the file's audio
  int32_t savedCopiedFrames_ = 0;
};
