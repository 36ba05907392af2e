// Reads the bit fields of a NAL unit's payload (emulation prevention already removed), as
// parameter sets and slice headers lay them out. Reading past the end gives zeros and marks
// the reader as failed, so a damaged unit never reads outside its bytes.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace vintrel::cut {

class BitReader {
 public:
  explicit BitReader(const QByteArray& bytes, qsizetype fromByte = 0) : bytes_(bytes), bit_(fromByte * 8) {}

  unsigned bit() {
    if (bit_ >= bytes_.size() * 8) {
      failed_ = true;
      return 0;
    }
    const unsigned value = (static_cast<uint8_t>(bytes_.at(bit_ / 8)) >> (7 - bit_ % 8)) & 1;
    ++bit_;
    return value;
  }
  // Up to 32 bits, most significant first.
  uint32_t bits(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 1 | bit();
    return value;
  }
  void skip(qsizetype count) {
    bit_ += count;
    if (bit_ > bytes_.size() * 8) failed_ = true;
  }
  // An unsigned Exp-Golomb number; one longer than 31 bits cannot be valid and fails.
  uint32_t unsignedGolomb() {
    int zeros = 0;
    while (!failed_ && bit() == 0) {
      if (++zeros > 31) {
        failed_ = true;
        return 0;
      }
    }
    if (failed_) return 0;
    return uint32_t((uint64_t(1) << zeros) - 1 + bits(zeros));
  }
  int32_t signedGolomb() {
    const uint32_t code = unsignedGolomb();
    return code & 1 ? int32_t((code + 1) / 2) : -int32_t(code / 2);
  }
  bool failed() const { return failed_; }

 private:
  const QByteArray& bytes_;
  qsizetype bit_;
  bool failed_ = false;
};

}  // namespace vintrel::cut
