#pragma once
// Device numbering, display names and the mixer: input lines of a recording
// device and record and playback volumes in whole dB.
//
// Stored device numbers: 0 = the default device, n >= 1 = the (n-1)-th device
// of the list. Mixer operations take a 0-based device index; a negative index
// means no device and makes them do nothing (or give 0 or an empty name).
// On the sound server a recording device's input lines are its ports. The
// play and record volumes go to the program's own streams (the server's
// stream volume), never to a device: the desktop's volumes and mute states
// stay as the user set them.
#include <cstdint>
#include <string>
#include <vector>

// The legacy 16-bit mixer value of a dB volume: 0 below -35 dB, else
// (v + 36) * 1424, at most 65535.
uint32_t LMixerValueFromDb(int volumeDb);

// The 0-based device index for a stored input device number (0 asks for the
// default input device).
int LMixerInputIndex(int deviceNumber);

class LMixer {
 public:
  static constexpr int kMaxInputChannels = 127;
  static constexpr size_t kMaxChannelName = 31;

  static int GetInputChannelCount(int deviceIndex);
  // Line -1 is the server's own selection, "Windows Record Mixer".
  static std::string GetInputChannelName(int deviceIndex, int line);
  // Selects the line (the device's port) and sets the record volume. Line -1
  // (or no device) leaves the port as the server has it; the volume applies
  // in any case.
  static void SetInputChannel(int deviceIndex, int line, int volumeDb);
};

class LSoundPlayDevice {
 public:
  // Display name of stored output device number n ("[Default Sound Out]" for n < 1).
  static std::string GetText(int deviceNumber);
};

// "[Default Sound Out]" followed by every output device's name.
std::vector<std::string> LSoundOutDeviceList();
// "[Default Sound In]" followed by every input device's name.
std::vector<std::string> LSoundInDeviceList();

// Sets the play volume to volumeDb + extraDb, whichever output device
// (deviceIndex, < 0 for the default) the program plays on.
void SetOutputVolume(int deviceIndex, int volumeDb, int extraDb);

// Volumes of the program's own streams in whole dB, -127..127: the play volume
// applies to every output stream, the record volume to every input stream,
// open now or opened later. 0 dB leaves the audio as it is; below -35 dB the
// stream is silent. Any thread; both start at 0 dB.
void LAudioSetPlayVolume(int volumeDb);
void LAudioSetRecordVolume(int volumeDb);
int LAudioPlayVolume();
int LAudioRecordVolume();
// Stored device number of the server's preferred recording device (0 when unknown).
int GetDefaultInputDevice();
