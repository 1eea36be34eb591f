#include "readers/makeReader.h"

#include "platform/mcard/MCardApi.h"
#include "platform/scard32/SCard32Api.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"

namespace orvex {

std::unique_ptr<readerBase> makeReader(int32_t readerApi, platform::EventLoop& loop) {
    if (readerApi == kReaderApiSCM) return std::make_unique<readerSCM>(platform::makeMCardApi(), loop);
    return std::make_unique<readerChipdrive>(platform::makeSCard32Api(), loop);
}

}  // namespace orvex
