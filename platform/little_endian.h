#pragma once
// Little-endian fields of file headers, read and written byte by byte so that
// no struct is ever cast over file bytes.
#include <cstdint>
#include <vector>

inline uint16_t LeGet16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LeGet32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
// The low 16 bits of v.
inline void LePut16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void LePut32(uint8_t* p, uint32_t v) {
  LePut16(p, v);
  LePut16(p + 2, v >> 16);
}
inline void LeAppend16(std::vector<uint8_t>& bytes, uint32_t v) {
  bytes.push_back(uint8_t(v));
  bytes.push_back(uint8_t(v >> 8));
}
inline void LeAppend32(std::vector<uint8_t>& bytes, uint32_t v) {
  LeAppend16(bytes, v);
  LeAppend16(bytes, v >> 16);
}
