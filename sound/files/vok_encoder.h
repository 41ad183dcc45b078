#pragma once
// Writes VOK files. For every block and channel the encoder tries every pair
// of step indexes a step byte can express, codes the deltas against the
// decoder's own predictor (so its rounding never drifts), and keeps the pair
// with the least squared error.
#include <cstdint>
#include <string>
#include <vector>

class LSoundSourceBase;

class LVOKEncoder {
 public:
  explicit LVOKEncoder(unsigned channels);

  // Codes one block of up to 16 interleaved frames in the internal sample
  // scale and appends 17 x channels bytes to out. Frames past `frames` are
  // padding: their deltas are 0 and they do not count in the error.
  void EncodeBlock(const int32_t* samples, int frames, std::vector<uint8_t>* out);

 private:
  void EncodeChannel(const int32_t* samples, int frames, int q, uint8_t* block);

  unsigned channels_;
  std::vector<int32_t> predictors_;  // what the decoder will hold after each block
};

// A whole VOK file (header with the length, then the blocks) from interleaved
// internal-scale samples. Empty when rate is not 1..0xFFFFFF or channels not 1..255.
std::vector<uint8_t> EncodeVOK(const std::vector<int32_t>& samples, uint32_t rate, unsigned channels);
bool WriteVOKFile(const std::string& path, const std::vector<int32_t>& samples, uint32_t rate, unsigned channels);
// Encodes a whole source (from position 0 to its length) into a VOK file,
// block by block, so no more than one read's worth is held in memory.
// False when the source is unusable, its format cannot be stored, or the file
// cannot be written.
bool WriteVOKFromSource(const std::string& path, LSoundSourceBase* source);
