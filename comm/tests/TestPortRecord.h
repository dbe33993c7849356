#pragma once
// A port record standing in for the dispatcher's, placed in the port table so
// that the layers find an owner for a device.
#include <atomic>
#include <vector>

#include "comm/DevLayer.h"

namespace commtest {

class TestPortRecord : public comm::PortRecordBase {
 public:
  TestPortRecord(std::uint16_t handle, std::int32_t dev, const comm::DeviceLayerTable& table,
                 std::uint16_t ringSize)
      : ring_(ringSize) {
    layer = table;
    portHandle = handle;
    device = dev;
    outRing.data = ring_.data();
    outRing.size = ringSize;
    std::lock_guard lock(comm::PortTableLock());
    comm::PortTableSlot(handle).record = this;
    comm::PortTableSlot(handle).inUse = 1;
  }
  ~TestPortRecord() override {
    std::lock_guard lock(comm::PortTableLock());
    comm::PortTableSlot(portHandle) = comm::PortSlot{};
  }
  void WakeOutput() override { ++wakes; }
  void AbortOutputAndWait() override { ++aborts; }

  std::vector<std::uint8_t> ring_;
  std::atomic<int> wakes{0};
  std::atomic<int> aborts{0};
};

}  // namespace commtest
