// The driver's replies to the battery packets: each call answers with a result code, a status
// and reply bytes taken from the input, so every field the module reads comes from outside.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "modules/battery/bat_driver.h"

namespace {
class ReplayPort : public bat::IPacketPort {
 public:
  ReplayPort(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Call(uint8_t* packet, int size) override {
    if (at_ >= size_) return 2;
    const uint8_t control = data_[at_++];
    if (control & 0x80) return 2;  // the call itself fails
    const size_t n = size_ - at_ < static_cast<size_t>(size) ? size_ - at_ : static_cast<size_t>(size);
    std::memcpy(packet, data_ + at_, n);
    at_ += n;
    packet[0] = control & 3;  // status: mostly success
    return 0;
  }

 private:
  const uint8_t* data_;
  size_t size_, at_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReplayPort port(data, size);
  bat::ReadConfigWord(port);
  for (int b = 0; b < 2; ++b) {
    bat::ReadIdentity(port, b);
    bat::ReadRecalDate(port, b);
    bat::ReadRecalDateFromController(port, b);
    bat::ReadDurationText(port, b, bat::Strings());
  }
  return 0;
}
