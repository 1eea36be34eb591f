#pragma once
// The driver a reader choice names, as both programs create it: 1 the SCM
// driver over the memory-card API, any other value the Chipdrive driver over
// the text-command library. Either runs on the given loop.
#include <cstdint>
#include <memory>

#include "platform/eventloop/EventLoop.h"
#include "readers/readerBase.h"

namespace orvex {

inline constexpr int32_t kReaderApiChipdrive = 0;
inline constexpr int32_t kReaderApiSCM = 1;

std::unique_ptr<readerBase> makeReader(int32_t readerApi, platform::EventLoop& loop);

}  // namespace orvex
