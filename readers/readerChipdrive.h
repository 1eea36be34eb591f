#pragma once
// The reader driver for readers driven through the text-command library: one
// call, SCardComand, takes a command such as "Card,Info,Status" and answers
// in an output buffer. The driver keeps no handle or reader name; all reader
// state lives in the library.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/scard32/SCard32Api.h"
#include "readers/readerBase.h"

namespace orvex {

class readerChipdrive final : public readerBase {
public:
    readerChipdrive(std::shared_ptr<platform::SCard32Api> api, platform::EventLoop& loop);
    ~readerChipdrive() override;

    // The name is ignored: the library uses its first reader.
    bool Start(const std::string& readerName) override;
    void Stopp() override;
    void restart() override;
    std::string driverVersion() override;
    bool deviceConnected() override;
    std::string deviceType() override;
    std::string cardConnected() override;

    // Sends one command with a 200-blank answer buffer: the whole buffer as the
    // library left it, or "failed" when the code is not 0.
    std::string SendCMD(const std::string& command);

private:
    struct Answer {
        int32_t code = 0;
        std::string text;  // the output buffer after the call
    };

    // The empty command: throws DriverUnavailable when the library is missing.
    void probeLibrary();
    Answer query(const std::string& command);
    int32_t call(const std::string& command, const std::string& input, int32_t& inputLength,
                 std::string& output, int32_t& outputLength);
    int32_t memRead(int32_t offset, int32_t& pieceLength, std::string& buffer);
    bool readPiece(int32_t offset, int32_t& pieceLength, std::string& buffer,
                   ReadCall& call) override;
    bool writePiece(int32_t offset, int32_t& pieceLength, const std::string& piece) override;
    Hold holdCard() override;
    void releaseCard() override;
    void onDisconnectedEntered() override;
    void resetCard() override;

    std::shared_ptr<platform::SCard32Api> api_;
};

}  // namespace orvex
