#pragma once
#include <span>
#include <string>
#include <vector>

#include "job/JobFixture.h"
#include "link/ControllerLink.h"
#include "reliability/PtyRig.h"
#include "wire/Frame.h"

namespace corvane::testing {

// The fake-time job rig with a board that answers as an FTDI chip does: a
// millisecond or two after each request.
struct LineJob : JobFixture {
  static constexpr Window kMain = Window::Main;
  static constexpr Window kConfig = Window::Configuration;

  explicit LineJob(std::int64_t minMicros = 1000, std::int64_t maxMicros = 1000) {
    board().setReplyLatency(minMicros, maxMicros, 17);
    set(kConfig, "xFeedMaxXY", "12000");
    set(kMain, "xFeed", "3000");
    set(kMain, "eTime", "0");
    tick(kConfig, "cOhmic", false);
    Record();
    // The board echoes each request's counter: as the next request goes out,
    // the reply the program took for the one before must carry that one's.
    const auto record = tap->onWrite;
    tap->onWrite = [this, record](const std::vector<std::uint8_t>& frame) {
      record(frame);
      const ControllerLink& link = controller->link;
      const auto sequence = static_cast<std::uint8_t>(frame[wire::kSequenceByte] - 1);
      if (frame.size() == wire::kFrameSize && tap->written.size() >= 2 && tap->written[tap->written.size() - 2] != frame &&
          wire::ChecksumValid(link.replyFrame()) && link.reply.error == 0 && link.reply.spare != sequence)
        ++shifted;
    };
  }
  long shifted = 0;
  // The requests the program meant to send.
  std::vector<wire::ControllerRequest> Planned() const { return PlannedRequests(tap->written); }
  bool Finished() const {
    return logged("Finish work OK") && system->job.CurrentContour == static_cast<std::int32_t>(system->job.Job.size());
  }
};

}  // namespace corvane::testing
