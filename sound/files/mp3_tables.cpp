#include "sound/files/mp3_tables.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace mp3 {

const int kBitRateKbps[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

const int kBaseSampleRate[3] = {44100, 48000, 32000};

const uint8_t kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

const uint8_t kSlenMpeg1[2][16] = {
    {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
    {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3},
};

// Scale factors per partition for the low-sampling-frequency syntax:
// [scale-factor compress class][long, short, mixed][partition].
const uint8_t kLsfBandCounts[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},       {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},     {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

namespace {

// Band widths; rows 44.1, 48, 32 kHz (MPEG-1), 22.05, 24, 16 kHz (MPEG-2),
// 11.025, 12, 8 kHz (MPEG-2.5).
const uint8_t kLongWidths[9][22] = {
    {4, 4, 4, 4, 4, 4, 6, 6, 8, 8, 10, 12, 16, 20, 24, 28, 34, 42, 50, 54, 76, 158},
    {4, 4, 4, 4, 4, 4, 6, 6, 6, 8, 10, 12, 16, 18, 22, 28, 34, 40, 46, 54, 54, 192},
    {4, 4, 4, 4, 4, 4, 6, 6, 8, 10, 12, 16, 20, 24, 30, 38, 46, 56, 68, 84, 102, 26},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 18, 22, 26, 32, 38, 46, 54, 62, 70, 76, 36},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {12, 12, 12, 12, 12, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 76, 90, 2, 2, 2, 2, 2},
};
const uint8_t kShortWidths[9][13] = {
    {4, 4, 4, 4, 6, 8, 10, 12, 14, 18, 22, 30, 56},  {4, 4, 4, 4, 6, 6, 10, 12, 14, 16, 20, 26, 66},
    {4, 4, 4, 4, 6, 8, 12, 16, 20, 26, 34, 42, 12},  {4, 4, 4, 6, 6, 8, 10, 14, 18, 26, 32, 42, 18},
    {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 32, 44, 12}, {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
    {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18}, {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
    {8, 8, 8, 12, 16, 20, 24, 28, 36, 2, 2, 2, 26},
};

// Huffman code tables for the big-values region: for every (x, y), x-major,
// the code length and the code. Tables 16 and 24 serve 16..23 and 24..31 with
// their linbits.
const uint8_t kLen1[4] = {1, 3, 2, 3};
const uint16_t kCode1[4] = {1, 1, 1, 0};
const uint8_t kLen2[9] = {1, 3, 6, 3, 3, 5, 5, 5, 6};
const uint16_t kCode2[9] = {1, 2, 1, 3, 1, 1, 3, 2, 0};
const uint8_t kLen3[9] = {2, 2, 6, 3, 2, 5, 5, 5, 6};
const uint16_t kCode3[9] = {3, 2, 1, 1, 1, 1, 3, 2, 0};
const uint8_t kLen5[16] = {1, 3, 6, 7, 3, 3, 6, 7, 6, 6, 7, 8, 7, 6, 7, 8};
const uint16_t kCode5[16] = {1, 2, 6, 5, 3, 1, 4, 4, 7, 5, 7, 1, 6, 1, 1, 0};
const uint8_t kLen6[16] = {3, 3, 5, 7, 3, 2, 4, 5, 4, 4, 5, 6, 6, 5, 6, 7};
const uint16_t kCode6[16] = {7, 3, 5, 1, 6, 2, 3, 2, 5, 4, 4, 1, 3, 3, 2, 0};
const uint8_t kLen7[36] = {1, 3, 6, 8, 8, 9, 3, 4, 6, 7, 7, 8,  6, 5, 7, 8,  8,  9,
                           7, 7, 8, 9, 9, 9, 7, 7, 8, 9, 9, 10, 8, 8, 9, 10, 10, 10};
const uint16_t kCode7[36] = {0x01, 0x02, 0x0a, 0x13, 0x10, 0x0a, 0x03, 0x03, 0x07, 0x0a, 0x05, 0x03,
                             0x0b, 0x04, 0x0d, 0x11, 0x08, 0x04, 0x0c, 0x0b, 0x12, 0x0f, 0x0b, 0x02,
                             0x07, 0x06, 0x09, 0x0e, 0x03, 0x01, 0x06, 0x04, 0x05, 0x03, 0x02, 0x00};
const uint8_t kLen8[36] = {2, 3, 6, 8, 8, 9,  3, 2, 4, 8, 8,  8,  6, 4, 6, 8, 8,  9,
                           8, 8, 8, 9, 9, 10, 8, 7, 8, 9, 10, 10, 9, 8, 9, 9, 11, 11};
const uint16_t kCode8[36] = {0x03, 0x04, 0x06, 0x12, 0x0c, 0x05, 0x05, 0x01, 0x02, 0x10, 0x09, 0x03,
                             0x07, 0x03, 0x05, 0x0e, 0x07, 0x03, 0x13, 0x11, 0x0f, 0x0d, 0x0a, 0x04,
                             0x0d, 0x05, 0x08, 0x0b, 0x05, 0x01, 0x0c, 0x04, 0x04, 0x01, 0x01, 0x00};
const uint8_t kLen9[36] = {3, 3, 5, 6, 8, 9, 3, 3, 4, 5, 6, 8, 4, 4, 5, 6, 7, 8,
                           6, 5, 6, 7, 7, 8, 7, 6, 7, 7, 8, 9, 8, 7, 8, 8, 9, 9};
const uint16_t kCode9[36] = {0x07, 0x05, 0x09, 0x0e, 0x0f, 0x07, 0x06, 0x04, 0x05, 0x05, 0x06, 0x07,
                             0x07, 0x06, 0x08, 0x08, 0x08, 0x05, 0x0f, 0x06, 0x09, 0x0a, 0x05, 0x01,
                             0x0b, 0x07, 0x09, 0x06, 0x04, 0x01, 0x0e, 0x04, 0x06, 0x02, 0x06, 0x00};
const uint8_t kLen10[64] = {1,  3,  6,  8,  9, 9, 9,  10, 3,  4,  6,  7,  8, 9,  8,  8,  6,  6,  7,  8, 9,  10,
                            9,  9,  7,  7,  8, 9, 10, 10, 9,  10, 8,  8,  9, 10, 10, 10, 10, 10, 9,  9, 10, 10,
                            11, 11, 10, 11, 8, 8, 9,  10, 10, 10, 11, 11, 9, 8,  9,  10, 10, 11, 11, 11};
const uint16_t kCode10[64] = {0x01, 0x02, 0x0a, 0x17, 0x23, 0x1e, 0x0c, 0x11, 0x03, 0x03, 0x08, 0x0c, 0x12,
                              0x15, 0x0c, 0x07, 0x0b, 0x09, 0x0f, 0x15, 0x20, 0x28, 0x13, 0x06, 0x0e, 0x0d,
                              0x16, 0x22, 0x2e, 0x17, 0x12, 0x07, 0x14, 0x13, 0x21, 0x2f, 0x1b, 0x16, 0x09,
                              0x03, 0x1f, 0x16, 0x29, 0x1a, 0x15, 0x14, 0x05, 0x03, 0x0e, 0x0d, 0x0a, 0x0b,
                              0x10, 0x06, 0x05, 0x01, 0x09, 0x08, 0x07, 0x08, 0x04, 0x04, 0x02, 0x00};
const uint8_t kLen11[64] = {2,  3,  5,  7,  8, 9, 8, 9,  3, 3,  4,  6,  8, 8, 7, 8,  5,  5,  6,  7, 8, 9,
                            8,  8,  7,  6,  7, 9, 8, 10, 8, 9,  8,  8,  8, 9, 9, 10, 9,  10, 8,  8, 9, 10,
                            10, 11, 10, 11, 8, 7, 7, 8,  9, 10, 10, 10, 8, 7, 8, 9,  10, 10, 10, 10};
const uint16_t kCode11[64] = {0x03, 0x04, 0x0a, 0x18, 0x22, 0x21, 0x15, 0x0f, 0x05, 0x03, 0x04, 0x0a, 0x20,
                              0x11, 0x0b, 0x0a, 0x0b, 0x07, 0x0d, 0x12, 0x1e, 0x1f, 0x14, 0x05, 0x19, 0x0b,
                              0x13, 0x3b, 0x1b, 0x12, 0x0c, 0x05, 0x23, 0x21, 0x1f, 0x3a, 0x1e, 0x10, 0x07,
                              0x05, 0x1c, 0x1a, 0x20, 0x13, 0x11, 0x0f, 0x08, 0x0e, 0x0e, 0x0c, 0x09, 0x0d,
                              0x0e, 0x09, 0x04, 0x01, 0x0b, 0x04, 0x06, 0x06, 0x06, 0x03, 0x02, 0x00};
const uint8_t kLen12[64] = {4, 3, 5, 7, 8, 9, 9, 9, 3, 3, 4, 5,  7, 7, 8, 8, 5, 4, 5, 6, 7, 8,
                            7, 8, 6, 5, 6, 6, 7, 8, 8, 8, 7, 6,  7, 7, 8, 8, 8, 9, 8, 7, 8, 8,
                            8, 9, 8, 9, 8, 7, 7, 8, 8, 9, 9, 10, 9, 8, 8, 9, 9, 9, 9, 10};
const uint16_t kCode12[64] = {0x09, 0x06, 0x10, 0x21, 0x29, 0x27, 0x26, 0x1a, 0x07, 0x05, 0x06, 0x09, 0x17,
                              0x10, 0x1a, 0x0b, 0x11, 0x07, 0x0b, 0x0e, 0x15, 0x1e, 0x0a, 0x07, 0x11, 0x0a,
                              0x0f, 0x0c, 0x12, 0x1c, 0x0e, 0x05, 0x20, 0x0d, 0x16, 0x13, 0x12, 0x10, 0x09,
                              0x05, 0x28, 0x11, 0x1f, 0x1d, 0x11, 0x0d, 0x04, 0x02, 0x1b, 0x0c, 0x0b, 0x0f,
                              0x0a, 0x07, 0x04, 0x01, 0x1b, 0x0c, 0x08, 0x0c, 0x06, 0x03, 0x01, 0x00};
const uint8_t kLen13[256] = {
    1,  4,  6,  7,  8,  9,  9,  10, 9,  10, 11, 11, 12, 12, 13, 13, 3,  4,  6,  7,  8,  8,  9,  9,  9,  9,  10, 10, 11,
    12, 12, 12, 6,  6,  7,  8,  9,  9,  10, 10, 9,  10, 10, 11, 11, 12, 13, 13, 7,  7,  8,  9,  9,  10, 10, 10, 10, 11,
    11, 11, 11, 12, 13, 13, 8,  7,  9,  9,  10, 10, 11, 11, 10, 11, 11, 12, 12, 13, 13, 14, 9,  8,  9,  10, 10, 10, 11,
    11, 11, 11, 12, 11, 13, 13, 14, 14, 9,  9,  10, 10, 11, 11, 11, 11, 11, 12, 12, 12, 13, 13, 14, 14, 10, 9,  10, 11,
    11, 11, 12, 12, 12, 12, 13, 13, 13, 14, 16, 16, 9,  8,  9,  10, 10, 11, 11, 12, 12, 12, 12, 13, 13, 14, 15, 15, 10,
    9,  10, 10, 11, 11, 11, 13, 12, 13, 13, 14, 14, 14, 16, 15, 10, 10, 10, 11, 11, 12, 12, 13, 12, 13, 14, 13, 14, 15,
    16, 17, 11, 10, 10, 11, 12, 12, 12, 12, 13, 13, 13, 14, 15, 15, 15, 16, 11, 11, 11, 12, 12, 13, 12, 13, 14, 14, 15,
    15, 15, 16, 16, 16, 12, 11, 12, 13, 13, 13, 14, 14, 14, 14, 14, 15, 16, 15, 16, 16, 13, 12, 12, 13, 13, 13, 15, 14,
    14, 17, 15, 15, 15, 17, 16, 16, 12, 12, 13, 14, 14, 14, 15, 14, 15, 15, 16, 16, 19, 18, 19, 16};
const uint16_t kCode13[256] = {
    0x01, 0x05, 0x0e, 0x15, 0x22, 0x33, 0x2e, 0x47, 0x2a, 0x34, 0x44, 0x34, 0x43, 0x2c, 0x2b, 0x13, 0x03, 0x04, 0x0c,
    0x13, 0x1f, 0x1a, 0x2c, 0x21, 0x1f, 0x18, 0x20, 0x18, 0x1f, 0x23, 0x16, 0x0e, 0x0f, 0x0d, 0x17, 0x24, 0x3b, 0x31,
    0x4d, 0x41, 0x1d, 0x28, 0x1e, 0x28, 0x1b, 0x21, 0x2a, 0x10, 0x16, 0x14, 0x25, 0x3d, 0x38, 0x4f, 0x49, 0x40, 0x2b,
    0x4c, 0x38, 0x25, 0x1a, 0x1f, 0x19, 0x0e, 0x23, 0x10, 0x3c, 0x39, 0x61, 0x4b, 0x72, 0x5b, 0x36, 0x49, 0x37, 0x29,
    0x30, 0x35, 0x17, 0x18, 0x3a, 0x1b, 0x32, 0x60, 0x4c, 0x46, 0x5d, 0x54, 0x4d, 0x3a, 0x4f, 0x1d, 0x4a, 0x31, 0x29,
    0x11, 0x2f, 0x2d, 0x4e, 0x4a, 0x73, 0x5e, 0x5a, 0x4f, 0x45, 0x53, 0x47, 0x32, 0x3b, 0x26, 0x24, 0x0f, 0x48, 0x22,
    0x38, 0x5f, 0x5c, 0x55, 0x5b, 0x5a, 0x56, 0x49, 0x4d, 0x41, 0x33, 0x2c, 0x2b, 0x2a, 0x2b, 0x14, 0x1e, 0x2c, 0x37,
    0x4e, 0x48, 0x57, 0x4e, 0x3d, 0x2e, 0x36, 0x25, 0x1e, 0x14, 0x10, 0x35, 0x19, 0x29, 0x25, 0x2c, 0x3b, 0x36, 0x51,
    0x42, 0x4c, 0x39, 0x36, 0x25, 0x12, 0x27, 0x0b, 0x23, 0x21, 0x1f, 0x39, 0x2a, 0x52, 0x48, 0x50, 0x2f, 0x3a, 0x37,
    0x15, 0x16, 0x1a, 0x26, 0x16, 0x35, 0x19, 0x17, 0x26, 0x46, 0x3c, 0x33, 0x24, 0x37, 0x1a, 0x22, 0x17, 0x1b, 0x0e,
    0x09, 0x07, 0x22, 0x20, 0x1c, 0x27, 0x31, 0x4b, 0x1e, 0x34, 0x30, 0x28, 0x34, 0x1c, 0x12, 0x11, 0x09, 0x05, 0x2d,
    0x15, 0x22, 0x40, 0x38, 0x32, 0x31, 0x2d, 0x1f, 0x13, 0x0c, 0x0f, 0x0a, 0x07, 0x06, 0x03, 0x30, 0x17, 0x14, 0x27,
    0x24, 0x23, 0x35, 0x15, 0x10, 0x17, 0x0d, 0x0a, 0x06, 0x01, 0x04, 0x02, 0x10, 0x0f, 0x11, 0x1b, 0x19, 0x14, 0x1d,
    0x0b, 0x11, 0x0c, 0x10, 0x08, 0x01, 0x01, 0x00, 0x01};
const uint8_t kLen15[256] = {
    3,  4,  5,  7,  7,  8,  9,  9,  9,  10, 10, 11, 11, 11, 12, 13, 4,  3,  5,  6,  7,  7,  8,  8,  8,  9,  9,  10, 10,
    10, 11, 11, 5,  5,  5,  6,  7,  7,  8,  8,  8,  9,  9,  10, 10, 11, 11, 11, 6,  6,  6,  7,  7,  8,  8,  9,  9,  9,
    10, 10, 10, 11, 11, 11, 7,  6,  7,  7,  8,  8,  9,  9,  9,  9,  10, 10, 10, 11, 11, 11, 8,  7,  7,  8,  8,  8,  9,
    9,  9,  9,  10, 10, 11, 11, 11, 12, 9,  7,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 11, 11, 12, 12, 9,  8,  8,  9,
    9,  9,  9,  10, 10, 10, 10, 10, 11, 11, 11, 12, 9,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 12, 12, 12, 9,
    8,  9,  9,  9,  9,  10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 10, 9,  9,  9,  10, 10, 10, 10, 10, 11, 11, 11, 11, 12,
    13, 12, 10, 9,  9,  9,  10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 13, 11, 10, 9,  10, 10, 10, 11, 11, 11, 11, 11,
    11, 12, 12, 13, 13, 11, 10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 12, 13, 13, 12, 11, 11, 11, 11, 11, 11, 11,
    12, 12, 12, 12, 13, 13, 12, 13, 12, 11, 11, 11, 11, 11, 11, 12, 12, 12, 12, 12, 13, 13, 13, 13};
const uint16_t kCode15[256] = {
    0x07, 0x0c, 0x12, 0x35, 0x2f, 0x4c, 0x7c, 0x6c, 0x59, 0x7b, 0x6c, 0x77, 0x6b, 0x51, 0x7a, 0x3f, 0x0d, 0x05, 0x10,
    0x1b, 0x2e, 0x24, 0x3d, 0x33, 0x2a, 0x46, 0x34, 0x53, 0x41, 0x29, 0x3b, 0x24, 0x13, 0x11, 0x0f, 0x18, 0x29, 0x22,
    0x3b, 0x30, 0x28, 0x40, 0x32, 0x4e, 0x3e, 0x50, 0x38, 0x21, 0x1d, 0x1c, 0x19, 0x2b, 0x27, 0x3f, 0x37, 0x5d, 0x4c,
    0x3b, 0x5d, 0x48, 0x36, 0x4b, 0x32, 0x1d, 0x34, 0x16, 0x2a, 0x28, 0x43, 0x39, 0x5f, 0x4f, 0x48, 0x39, 0x59, 0x45,
    0x31, 0x42, 0x2e, 0x1b, 0x4d, 0x25, 0x23, 0x42, 0x3a, 0x34, 0x5b, 0x4a, 0x3e, 0x30, 0x4f, 0x3f, 0x5a, 0x3e, 0x28,
    0x26, 0x7d, 0x20, 0x3c, 0x38, 0x32, 0x5c, 0x4e, 0x41, 0x37, 0x57, 0x47, 0x33, 0x49, 0x33, 0x46, 0x1e, 0x6d, 0x35,
    0x31, 0x5e, 0x58, 0x4b, 0x42, 0x7a, 0x5b, 0x49, 0x38, 0x2a, 0x40, 0x2c, 0x15, 0x19, 0x5a, 0x2b, 0x29, 0x4d, 0x49,
    0x3f, 0x38, 0x5c, 0x4d, 0x42, 0x2f, 0x43, 0x30, 0x35, 0x24, 0x14, 0x47, 0x22, 0x43, 0x3c, 0x3a, 0x31, 0x58, 0x4c,
    0x43, 0x6a, 0x47, 0x36, 0x26, 0x27, 0x17, 0x0f, 0x6d, 0x35, 0x33, 0x2f, 0x5a, 0x52, 0x3a, 0x39, 0x30, 0x48, 0x39,
    0x29, 0x17, 0x1b, 0x3e, 0x09, 0x56, 0x2a, 0x28, 0x25, 0x46, 0x40, 0x34, 0x2b, 0x46, 0x37, 0x2a, 0x19, 0x1d, 0x12,
    0x0b, 0x0b, 0x76, 0x44, 0x1e, 0x37, 0x32, 0x2e, 0x4a, 0x41, 0x31, 0x27, 0x18, 0x10, 0x16, 0x0d, 0x0e, 0x07, 0x5b,
    0x2c, 0x27, 0x26, 0x22, 0x3f, 0x34, 0x2d, 0x1f, 0x34, 0x1c, 0x13, 0x0e, 0x08, 0x09, 0x03, 0x7b, 0x3c, 0x3a, 0x35,
    0x2f, 0x2b, 0x20, 0x16, 0x25, 0x18, 0x11, 0x0c, 0x0f, 0x0a, 0x02, 0x01, 0x47, 0x25, 0x22, 0x1e, 0x1c, 0x14, 0x11,
    0x1a, 0x15, 0x10, 0x0a, 0x06, 0x08, 0x06, 0x02, 0x00};
const uint8_t kLen16[256] = {
    1,  4,  6,  8,  9,  9,  10, 10, 11, 11, 11, 12, 12, 12, 13, 9,  3,  4,  6,  7,  8,  9,  9,  9,  10, 10, 10, 11, 12,
    11, 12, 8,  6,  6,  7,  8,  9,  9,  10, 10, 11, 10, 11, 11, 11, 12, 12, 9,  8,  7,  8,  9,  9,  10, 10, 10, 11, 11,
    12, 12, 12, 13, 13, 10, 9,  8,  9,  9,  10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 9,  9,  8,  9,  9,  10, 11, 11,
    12, 11, 12, 12, 13, 13, 13, 14, 10, 10, 9,  9,  10, 11, 11, 11, 11, 12, 12, 12, 12, 13, 13, 14, 10, 10, 9,  10, 10,
    11, 11, 11, 12, 12, 13, 13, 13, 13, 15, 15, 10, 10, 10, 10, 11, 11, 11, 12, 12, 13, 13, 13, 13, 14, 14, 14, 10, 11,
    10, 10, 11, 11, 12, 12, 13, 13, 13, 13, 14, 13, 14, 13, 11, 11, 11, 10, 11, 12, 12, 12, 12, 13, 14, 14, 14, 15, 15,
    14, 10, 12, 11, 11, 11, 12, 12, 13, 14, 14, 14, 14, 14, 14, 13, 14, 11, 12, 12, 12, 12, 12, 13, 13, 13, 13, 15, 14,
    14, 14, 14, 16, 11, 14, 12, 12, 12, 13, 13, 14, 14, 14, 16, 15, 15, 15, 17, 15, 11, 13, 13, 11, 12, 14, 14, 13, 14,
    14, 15, 16, 15, 17, 15, 14, 11, 9,  8,  8,  9,  9,  10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 8};
const uint16_t kCode16[256] = {
    0x001, 0x005, 0x00e, 0x02c, 0x04a, 0x03f, 0x06e, 0x05d, 0x0ac, 0x095, 0x08a, 0x0f2, 0x0e1, 0x0c3, 0x178, 0x011,
    0x003, 0x004, 0x00c, 0x014, 0x023, 0x03e, 0x035, 0x02f, 0x053, 0x04b, 0x044, 0x077, 0x0c9, 0x06b, 0x0cf, 0x009,
    0x00f, 0x00d, 0x017, 0x026, 0x043, 0x03a, 0x067, 0x05a, 0x0a1, 0x048, 0x07f, 0x075, 0x06e, 0x0d1, 0x0ce, 0x010,
    0x02d, 0x015, 0x027, 0x045, 0x040, 0x072, 0x063, 0x057, 0x09e, 0x08c, 0x0fc, 0x0d4, 0x0c7, 0x183, 0x16d, 0x01a,
    0x04b, 0x024, 0x044, 0x041, 0x073, 0x065, 0x0b3, 0x0a4, 0x09b, 0x108, 0x0f6, 0x0e2, 0x18b, 0x17e, 0x16a, 0x009,
    0x042, 0x01e, 0x03b, 0x038, 0x066, 0x0b9, 0x0ad, 0x109, 0x08e, 0x0fd, 0x0e8, 0x190, 0x184, 0x17a, 0x1bd, 0x010,
    0x06f, 0x036, 0x034, 0x064, 0x0b8, 0x0b2, 0x0a0, 0x085, 0x101, 0x0f4, 0x0e4, 0x0d9, 0x181, 0x16e, 0x2cb, 0x00a,
    0x062, 0x030, 0x05b, 0x058, 0x0a5, 0x09d, 0x094, 0x105, 0x0f8, 0x197, 0x18d, 0x174, 0x17c, 0x379, 0x374, 0x008,
    0x055, 0x054, 0x051, 0x09f, 0x09c, 0x08f, 0x104, 0x0f9, 0x1ab, 0x191, 0x188, 0x17f, 0x2d7, 0x2c9, 0x2c4, 0x007,
    0x09a, 0x04c, 0x049, 0x08d, 0x083, 0x100, 0x0f5, 0x1aa, 0x196, 0x18a, 0x180, 0x2df, 0x167, 0x2c6, 0x160, 0x00b,
    0x08b, 0x081, 0x043, 0x07d, 0x0f7, 0x0e9, 0x0e5, 0x0db, 0x189, 0x2e7, 0x2e1, 0x2d0, 0x375, 0x372, 0x1b7, 0x004,
    0x0f3, 0x078, 0x076, 0x073, 0x0e3, 0x0df, 0x18c, 0x2ea, 0x2e6, 0x2e0, 0x2d1, 0x2c8, 0x2c2, 0x0df, 0x1b4, 0x006,
    0x0ca, 0x0e0, 0x0de, 0x0da, 0x0d8, 0x185, 0x182, 0x17d, 0x16c, 0x378, 0x1bb, 0x2c3, 0x1b8, 0x1b5, 0x6c0, 0x004,
    0x2eb, 0x0d3, 0x0d2, 0x0d0, 0x172, 0x17b, 0x2de, 0x2d3, 0x2ca, 0x6c7, 0x373, 0x36d, 0x36c, 0xd83, 0x361, 0x002,
    0x179, 0x171, 0x066, 0x0bb, 0x2d6, 0x2d2, 0x166, 0x2c7, 0x2c5, 0x362, 0x6c6, 0x367, 0xd82, 0x366, 0x1b2, 0x000,
    0x00c, 0x00a, 0x007, 0x00b, 0x00a, 0x011, 0x00b, 0x009, 0x00d, 0x00c, 0x00a, 0x007, 0x005, 0x003, 0x001, 0x003};
const uint8_t kLen24[256] = {
    4,  4,  6,  7,  8,  9,  9,  10, 10, 11, 11, 11, 11, 11, 12, 9,  4,  4,  5,  6,  7,  8,  8,  9,  9,  9,  10, 10, 10,
    10, 10, 8,  6,  5,  6,  7,  7,  8,  8,  9,  9,  9,  9,  10, 10, 10, 11, 7,  7,  6,  7,  7,  8,  8,  8,  9,  9,  9,
    9,  10, 10, 10, 10, 7,  8,  7,  7,  8,  8,  8,  8,  9,  9,  9,  10, 10, 10, 10, 11, 7,  9,  7,  8,  8,  8,  8,  9,
    9,  9,  9,  10, 10, 10, 10, 10, 7,  9,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 10, 11, 7,  10, 8,  8,  8,
    9,  9,  9,  9,  10, 10, 10, 10, 10, 11, 11, 8,  10, 9,  9,  9,  9,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 8,  10,
    9,  9,  9,  9,  9,  9,  10, 10, 10, 10, 10, 11, 11, 11, 8,  11, 9,  9,  9,  9,  10, 10, 10, 10, 10, 10, 11, 11, 11,
    11, 8,  11, 10, 9,  9,  9,  10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 8,  11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 11,
    11, 11, 11, 11, 8,  11, 10, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 8,  12, 10, 10, 10, 10, 10, 10, 11,
    11, 11, 11, 11, 11, 11, 11, 8,  8,  7,  7,  7,  7,  7,  7,  7,  7,  7,  7,  8,  8,  8,  8,  4};
const uint16_t kCode24[256] = {
    0x00f, 0x00d, 0x02e, 0x050, 0x092, 0x106, 0x0f8, 0x1b2, 0x1aa, 0x29d, 0x28d, 0x289, 0x26d, 0x205, 0x408, 0x058,
    0x00e, 0x00c, 0x015, 0x026, 0x047, 0x082, 0x07a, 0x0d8, 0x0d1, 0x0c6, 0x147, 0x159, 0x13f, 0x129, 0x117, 0x02a,
    0x02f, 0x016, 0x029, 0x04a, 0x044, 0x080, 0x078, 0x0dd, 0x0cf, 0x0c2, 0x0b6, 0x154, 0x13b, 0x127, 0x21d, 0x012,
    0x051, 0x027, 0x04b, 0x046, 0x086, 0x07d, 0x074, 0x0dc, 0x0cc, 0x0be, 0x0b2, 0x145, 0x137, 0x125, 0x10f, 0x010,
    0x093, 0x048, 0x045, 0x087, 0x07f, 0x076, 0x070, 0x0d2, 0x0c8, 0x0bc, 0x160, 0x143, 0x132, 0x11d, 0x21c, 0x00e,
    0x107, 0x042, 0x081, 0x07e, 0x077, 0x072, 0x0d6, 0x0ca, 0x0c0, 0x0b4, 0x155, 0x13d, 0x12d, 0x119, 0x106, 0x00c,
    0x0f9, 0x07b, 0x079, 0x075, 0x071, 0x0d7, 0x0ce, 0x0c3, 0x0b9, 0x15b, 0x14a, 0x134, 0x123, 0x110, 0x208, 0x00a,
    0x1b3, 0x073, 0x06f, 0x06d, 0x0d3, 0x0cb, 0x0c4, 0x0bb, 0x161, 0x14c, 0x139, 0x12a, 0x11b, 0x213, 0x17d, 0x011,
    0x1ab, 0x0d4, 0x0d0, 0x0cd, 0x0c9, 0x0c1, 0x0ba, 0x0b1, 0x0a9, 0x140, 0x12f, 0x11e, 0x10c, 0x202, 0x179, 0x010,
    0x14f, 0x0c7, 0x0c5, 0x0bf, 0x0bd, 0x0b5, 0x0ae, 0x14d, 0x141, 0x131, 0x121, 0x113, 0x209, 0x17b, 0x173, 0x00b,
    0x29c, 0x0b8, 0x0b7, 0x0b3, 0x0af, 0x158, 0x14b, 0x13a, 0x130, 0x122, 0x115, 0x212, 0x17f, 0x175, 0x16e, 0x00a,
    0x28c, 0x15a, 0x0ab, 0x0a8, 0x0a4, 0x13e, 0x135, 0x12b, 0x11f, 0x114, 0x107, 0x201, 0x177, 0x170, 0x16a, 0x006,
    0x288, 0x142, 0x13c, 0x138, 0x133, 0x12e, 0x124, 0x11c, 0x10d, 0x105, 0x200, 0x178, 0x172, 0x16c, 0x167, 0x004,
    0x26c, 0x12c, 0x128, 0x126, 0x120, 0x11a, 0x111, 0x10a, 0x203, 0x17c, 0x176, 0x171, 0x16d, 0x169, 0x165, 0x002,
    0x409, 0x118, 0x116, 0x112, 0x10b, 0x108, 0x103, 0x17e, 0x17a, 0x174, 0x16f, 0x16b, 0x168, 0x166, 0x164, 0x000,
    0x02b, 0x014, 0x013, 0x011, 0x00f, 0x00d, 0x00b, 0x009, 0x007, 0x006, 0x004, 0x007, 0x005, 0x003, 0x001, 0x003};

// Count1 table A by the value index v*8 + w*4 + x*2 + y.
const uint8_t kQuadLenA[16] = {1, 4, 4, 5, 4, 6, 5, 6, 4, 5, 5, 6, 5, 6, 6, 6};
const uint8_t kQuadCodeA[16] = {1, 5, 4, 5, 6, 5, 4, 4, 7, 3, 6, 0, 7, 2, 3, 1};

// The synthesis window D[0..256] in units of 2^-16; the rest follows from
// D[512 - i] = -D[i], except at multiples of 64 where the sign is kept.
const int32_t kSynthesisWindowHalf[257] = {
    0,      -1,     -1,     -1,     -1,     -1,     -1,     -2,     -2,     -2,     -2,     -3,     -3,     -4,
    -4,     -5,     -5,     -6,     -7,     -7,     -8,     -9,     -10,    -11,    -13,    -14,    -16,    -17,
    -19,    -21,    -24,    -26,    -29,    -31,    -35,    -38,    -41,    -45,    -49,    -53,    -58,    -63,
    -68,    -73,    -79,    -85,    -91,    -97,    -104,   -111,   -117,   -125,   -132,   -139,   -147,   -154,
    -161,   -169,   -176,   -183,   -190,   -196,   -202,   -208,   213,    218,    222,    225,    227,    228,
    228,    227,    224,    221,    215,    208,    200,    189,    177,    163,    146,    127,    106,    83,
    57,     29,     -2,     -36,    -72,    -111,   -153,   -197,   -244,   -294,   -347,   -401,   -459,   -519,
    -581,   -645,   -711,   -779,   -848,   -919,   -991,   -1064,  -1137,  -1210,  -1283,  -1356,  -1428,  -1498,
    -1567,  -1634,  -1698,  -1759,  -1817,  -1870,  -1919,  -1962,  -2001,  -2032,  -2057,  -2075,  -2085,  -2087,
    -2080,  -2063,  2037,   2000,   1952,   1893,   1822,   1739,   1644,   1535,   1414,   1280,   1131,   970,
    794,    605,    402,    185,    -45,    -288,   -545,   -814,   -1095,  -1388,  -1692,  -2006,  -2330,  -2663,
    -3004,  -3351,  -3705,  -4063,  -4425,  -4788,  -5153,  -5517,  -5879,  -6237,  -6589,  -6935,  -7271,  -7597,
    -7910,  -8209,  -8491,  -8755,  -8998,  -9219,  -9416,  -9585,  -9727,  -9838,  -9916,  -9959,  -9966,  -9935,
    -9863,  -9750,  -9592,  -9389,  -9139,  -8840,  -8492,  -8092,  -7640,  -7134,  6574,   5959,   5288,   4561,
    3776,   2935,   2037,   1082,   70,     -998,   -2122,  -3300,  -4533,  -5818,  -7154,  -8540,  -9975,  -11455,
    -12980, -14548, -16155, -17799, -19478, -21189, -22929, -24694, -26482, -28289, -30112, -31947, -33791, -35640,
    -37489, -39336, -41176, -43006, -44821, -46617, -48390, -50137, -51853, -53534, -55178, -56778, -58333, -59838,
    -61289, -62684, -64019, -65290, -66494, -67629, -68692, -69679, -70590, -71420, -72169, -72835, -73415, -73908,
    -74313, -74630, -74856, -74992, 75038};

struct HuffSource {
  int size;  // values per axis
  const uint8_t* len;
  const uint16_t* code;
};

// By table number; tables 4 and 14 are not used by the standard and decode as zeros.
HuffSource SourceFor(int table) {
  switch (table) {
    case 1:
      return {2, kLen1, kCode1};
    case 2:
      return {3, kLen2, kCode2};
    case 3:
      return {3, kLen3, kCode3};
    case 5:
      return {4, kLen5, kCode5};
    case 6:
      return {4, kLen6, kCode6};
    case 7:
      return {6, kLen7, kCode7};
    case 8:
      return {6, kLen8, kCode8};
    case 9:
      return {6, kLen9, kCode9};
    case 10:
      return {8, kLen10, kCode10};
    case 11:
      return {8, kLen11, kCode11};
    case 12:
      return {8, kLen12, kCode12};
    case 13:
      return {16, kLen13, kCode13};
    case 15:
      return {16, kLen15, kCode15};
    default:
      break;
  }
  if (table >= 16 && table < 24) return {16, kLen16, kCode16};
  if (table >= 24) return {16, kLen24, kCode24};
  return {0, nullptr, nullptr};
}

const int kLinbits[32] = {0, 0, 0, 0, 0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0,  0,
                          1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};

// Builds the two-level lookup of one code into store; returns the root offset.
size_t BuildLookup(const HuffSource& src, std::vector<HuffEntry>& store) {
  const size_t root = store.size();
  store.resize(root + 256, HuffEntry{0, 0, 0, 0, 0});
  const int count = src.size * src.size;
  // Second-level width per 8-bit prefix: the longest code beyond 8 bits.
  int subBits[256] = {};
  for (int i = 0; i < count; ++i) {
    const int len = src.len[i];
    if (len > 8) {
      const int prefix = src.code[i] >> (len - 8);
      if (len - 8 > subBits[prefix]) subBits[prefix] = len - 8;
    }
  }
  for (int p = 0; p < 256; ++p) {
    if (subBits[p] == 0) continue;
    const size_t offset = store.size();
    store.resize(offset + (size_t(1) << subBits[p]), HuffEntry{0, 0, 0, 0, 0});
    store[root + p] = HuffEntry{0, 0, 0, uint8_t(subBits[p]), uint16_t(offset - root)};
  }
  for (int i = 0; i < count; ++i) {
    const int len = src.len[i];
    const uint8_t x = uint8_t(i / src.size), y = uint8_t(i % src.size);
    if (len <= 8) {
      const int first = src.code[i] << (8 - len);
      for (int k = 0; k < (1 << (8 - len)); ++k) store[root + first + k] = HuffEntry{x, y, uint8_t(len), 0, 0};
    } else {
      const int prefix = src.code[i] >> (len - 8);
      const HuffEntry link = store[root + prefix];
      const int rest = src.code[i] & ((1 << (len - 8)) - 1);
      const int first = rest << (link.subBits - (len - 8));
      for (int k = 0; k < (1 << (link.subBits - (len - 8))); ++k)
        store[root + link.sub + first + k] = HuffEntry{x, y, uint8_t(len), 0, 0};
    }
  }
  return root;
}

struct TableStore {
  Tables tables;
  std::vector<HuffEntry> huffStore;
  BandTable bands[9];

  TableStore() {
    Tables& t = tables;
    for (int i = 0; i < kPow43Size; ++i) {
      const float v = float(std::pow(double(i), 4.0 / 3.0));
      t.pow43[kPow43Size - 1 + i] = v;
      t.pow43[kPow43Size - 1 - i] = -v;
    }
    for (int i = 0; i < kGainSize; ++i) t.gain[i] = float(std::exp2((i - kGainOffset) / 4.0));
    for (int j = 0; j < 18; ++j)
      for (int k = 0; k < 18; ++k) t.dct4Long[k][j] = float(std::cos(M_PI / 72.0 * (2 * j + 1) * (2 * k + 1)));
    for (int k = 0; k < 18; ++k) t.dct4Long[k][18] = t.dct4Long[k][19] = 0.0f;
    for (int j = 0; j < 6; ++j)
      for (int k = 0; k < 6; ++k) t.dct4Short[k][j] = float(std::cos(M_PI / 24.0 * (2 * j + 1) * (2 * k + 1)));
    for (int i = 0; i < 36; ++i) {
      const double longWin = std::sin(M_PI / 36.0 * (i + 0.5));
      t.window[0][i] = float(longWin);
      t.window[1][i] = float(i < 18 ? longWin : i < 24 ? 1.0 : i < 30 ? std::sin(M_PI / 12.0 * (i - 18 + 0.5)) : 0.0);
      t.window[2][i] = float(i < 12 ? std::sin(M_PI / 12.0 * (i + 0.5)) : 0.0);
      t.window[3][i] = float(i < 6 ? 0.0 : i < 12 ? std::sin(M_PI / 12.0 * (i - 6 + 0.5)) : i < 18 ? 1.0 : longWin);
    }
    const double ci[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
      const double sq = std::sqrt(1.0 + ci[i] * ci[i]);
      t.aliasCs[i] = float(1.0 / sq);
      t.aliasCa[i] = float(ci[i] / sq);
    }
    for (int i = 0; i < 257; ++i) {
      const double v = kSynthesisWindowHalf[i] / 65536.0 * 524288.0;
      t.synthesis[i] = float(v);
      if (i > 0 && i < 256) t.synthesis[512 - i] = float(i % 64 == 0 ? v : -v);
    }
    for (int n = 2, offset = 0; n <= 32; offset += n / 2, n *= 2)
      for (int k = 0; k < n / 2; ++k) t.dctCoef[offset + k] = float(0.5 / std::cos((2 * k + 1) * M_PI / (2.0 * n)));
    for (int p = 0; p < 7; ++p) {
      const double s = std::sin(p * M_PI / 12.0), c = std::cos(p * M_PI / 12.0);
      t.isMpeg1[p][0] = float(s / (s + c));
      t.isMpeg1[p][1] = float(c / (s + c));
    }
    for (int scale = 0; scale < 2; ++scale) {
      const double base = scale ? std::sqrt(0.5) : std::pow(2.0, -0.25);
      for (int p = 0; p < 32; ++p) {
        double l = 1.0, r = 1.0;
        if (p & 1)
          l = std::pow(base, (p + 1) / 2);
        else if (p)
          r = std::pow(base, p / 2);
        t.isLsf[scale][p][0] = float(l);
        t.isLsf[scale][p][1] = float(r);
      }
    }
    size_t roots[32] = {};
    bool present[32] = {};
    for (int table = 1; table < 32; ++table) {
      const HuffSource src = SourceFor(table);
      if (!src.size) continue;
      // Tables 16..23 and 24..31 share one code each.
      const int owner = table >= 24 ? 24 : table >= 16 ? 16 : table;
      if (owner != table) {
        roots[table] = roots[owner];
      } else {
        roots[table] = BuildLookup(src, huffStore);
      }
      present[table] = true;
    }
    for (int table = 0; table < 32; ++table) {
      t.huff[table].root = present[table] ? huffStore.data() + roots[table] : nullptr;
      t.huff[table].linbits = kLinbits[table];
    }
    for (int v = 0; v < 16; ++v) {
      const int len = kQuadLenA[v];
      const int first = kQuadCodeA[v] << (6 - len);
      for (int k = 0; k < (1 << (6 - len)); ++k) t.quadA[first + k] = HuffEntry{uint8_t(v), 0, uint8_t(len), 0, 0};
    }
    for (int row = 0; row < 9; ++row) {
      BandTable& b = bands[row];
      b.longStart[0] = 0;
      for (int i = 0; i < 22; ++i) b.longStart[i + 1] = int16_t(b.longStart[i] + kLongWidths[row][i]);
      b.shortStart[0] = 0;
      for (int i = 0; i < 13; ++i) b.shortStart[i + 1] = int16_t(b.shortStart[i] + kShortWidths[row][i]);
    }
  }
};

const TableStore& Store() {
  static const TableStore store;
  return store;
}

}  // namespace

const Tables& GetTables() { return Store().tables; }

const BandTable& Bands(int version, int sampleRateIndex) {
  const int row = (version < 0 || version > 2 ? 0 : version) * 3 +
                  (sampleRateIndex < 0 || sampleRateIndex > 2 ? 0 : sampleRateIndex);
  return Store().bands[row];
}

}  // namespace mp3
