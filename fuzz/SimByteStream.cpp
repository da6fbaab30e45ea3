// Feeds arbitrary bytes to the virtual board: frames, bootloader dialogue,
// reset pulses and time steps must never crash it or break its invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sim/VirtualBoard.h"
#include "wire/FrameLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::sim::VirtualBoard board;
  std::size_t i = 0;
  std::int64_t now = 0;
  while (i < size) {
    const std::uint8_t op = data[i++];
    const std::size_t chunk = std::min<std::size_t>(op & 0x3F, size - i);
    switch (op >> 6) {
      case 0:
        board.write({data + i, chunk});
        i += chunk;
        break;
      case 1:
        now += static_cast<std::int64_t>(op & 0x3F) * 37000;
        board.advanceTo(now);
        break;
      case 2:
        board.setBitMode(op & 1 ? 0xFF : 0xF0, 0x20);
        if (op & 2) board.enterBootloader();
        break;
      default:
        corvane::wire::DescribeRequest({data + i, chunk});
        corvane::wire::DescribeReply({data + i, chunk}, op);
        i += chunk;
        break;
    }
    std::uint8_t out[64];
    while (board.queued().value_or(0) > 0) board.read(out);
    if (board.board().queueFill() > corvane::sim::kQueueCapacity) std::abort();
  }
  return 0;
}
