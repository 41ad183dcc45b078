#pragma once
// Layer III frame decoding for MPEG-1, MPEG-2 (low sampling frequencies) and
// MPEG-2.5: side information, Huffman decoding, requantisation, stereo
// processing, reordering, alias reduction, the hybrid inverse transform and
// the polyphase synthesis. Output is signed 32-bit on the engine's scale
// (full scale 1.0 = 524,288), interleaved.
#include <cstdint>

// The fields of one frame header.
struct MP3Header {
  int version = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  bool noCrc = true;
  int bitRate = 0;  // bits per second
  int sampleRateIndex = 0;
  int padding = 0;
  int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int modeExtension = 0;

  // Why four bytes are not an accepted header; null when they are (and the fields are set).
  const char* Parse(const uint8_t bytes[4]);

  int SampleRate() const;
  int FrameSize() const;  // bytes, header included
  int SideInfoSize() const;
  int SamplesPerFrame() const { return version == 0 ? 1152 : 576; }
  int Channels() const { return mode == 3 ? 1 : 2; }
  int CrcBytes() const { return noCrc ? 0 : 2; }
  // Bytes of main data this frame carries.
  int MainDataSize() const { return FrameSize() - 4 - CrcBytes() - SideInfoSize(); }
};

class MP3FrameDecoder {
 public:
  static constexpr int kReservoirSize = 2048;

  enum Result {
    kDecoded,    // one frame of samples written
    kUnderflow,  // the reservoir did not reach back to main_data_begin; nothing written
    kDamaged,    // the side information or sizes cannot be used; nothing written
  };

  MP3FrameDecoder();

  // Fixes the stream layout; clears everything.
  void Configure(int version, int sampleRateIndex, int channels);
  // Clears the overlap and synthesis memories and empties the reservoir.
  void Reset();
  void ResetReservoir() { reservoirFill_ = 0; }

  // side: the side information; mainData: this frame's main data. out receives
  // SamplesPerFrame() x channels samples when the result is kDecoded. The
  // frame's main data is added to the reservoir whatever the result.
  Result DecodeFrame(const MP3Header& header, const uint8_t* side, const uint8_t* mainData, int mainBytes,
                     int32_t* out);

  // The short-block reorder map of the configured stream (mixed: the one for mixed blocks).
  const int16_t* ReorderMap(bool mixed) const { return mixed ? reorderMixed_ : reorderShort_; }

 private:
  struct GranuleChannel {
    int part23Length, bigValues, globalGain, scalefacCompress;
    int blockType;  // 0 normal, 1 start, 2 short, 3 stop
    bool mixed;
    int tableSelect[3];
    int subblockGain[3];
    int region0Count, region1Count;
    int preflag, scalefacScale, count1Table;
  };
  struct SideInfo {
    int mainDataBegin;
    int scfsi[2][4];
    GranuleChannel gr[2][2];
  };
  struct ScaleFactors {
    uint8_t l[22];
    uint8_t s[13][3];
    // Low sampling frequencies: the intensity position that marks a band as
    // not intensity coded, the largest value the band's scale factor can hold.
    uint8_t illegalL[22];
    uint8_t illegalS[13];
  };

  bool ParseSideInfo(const MP3Header& header, const uint8_t* side, SideInfo* info) const;
  // Reads the scale factors at bit position pos; returns the bits used.
  int ReadScaleFactors(const MP3Header& header, const GranuleChannel& gc, int gr, int ch, const SideInfo& info, int pos,
                       int end);
  // Decodes the Huffman data into ints_[ch]; returns the count of lines that may be non-zero.
  int ReadHuffman(const GranuleChannel& gc, int pos, int end, int* values);
  // Bound of the non-zero lines after short-block reordering.
  int ReorderedLimit(const GranuleChannel& gc, int count) const;
  void Requantise(const GranuleChannel& gc, const ScaleFactors& sf, const int* values, int count, float* xr);
  void Stereo(const MP3Header& header, const GranuleChannel& right);
  void AliasReduce(const GranuleChannel& gc, float* xr, int limit);
  void Hybrid(const GranuleChannel& gc, int ch, const float* xr, int limit);
  void Synthesise(int ch, int32_t* out, int stride);

  int version_ = 0;
  int sampleRateIndex_ = 0;
  int channels_ = 1;

  uint8_t reservoir_[kReservoirSize + 16];  // zero padding for the bit reader
  int reservoirFill_ = 0;

  ScaleFactors scale_[2];
  int ints_[2][576];
  float xr_[2][576];
  int nonZero_[2];
  float overlap_[2][32][18];
  float subbands_[18][32];  // time slot x subband for the synthesis
  float vHistory_[2][16][64];
  int vIndex_[2];

  int16_t reorderShort_[576];
  int16_t reorderMixed_[576];
};
