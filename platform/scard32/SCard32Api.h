#pragma once
// The one text-command function the Chipdrive driver calls. Seven arguments in
// the library's order; the result is a signed 32-bit code, 0 = success. Byte
// text: one char per byte. Throws DriverUnavailable when the library behind it
// cannot be loaded or called.
#include <cstdint>
#include <memory>
#include <string>

namespace orvex::platform {

// "Card,Lock" holds the card for this program alone, without waiting, until
// "Card,Unlock".
class SCard32Api {
public:
    virtual ~SCard32Api() = default;

    // output holds outputLength blanks on entry; the library leaves its answer
    // in it and may change outputLength (for MemRead: the bytes delivered).
    virtual int32_t SCardComand(int32_t& handle, const std::string& command,
                                int32_t& commandLength, const std::string& input,
                                int32_t& inputLength, std::string& output,
                                int32_t& outputLength) = 0;
};

namespace scard32 {
// "Card,Lock" while another program holds the card.
constexpr int32_t kCardHeldElsewhere = 8;
}  // namespace scard32

// The program's text-command library: the simulated reader when ORVEXCARD_SIM
// is set, PC/SC otherwise; both use the first reader.
std::unique_ptr<SCard32Api> makeSCard32Api();

}  // namespace orvex::platform
