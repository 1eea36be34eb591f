// The Qt event loop against the contract of every real loop. Waits that let
// events run are in every window and command-line test.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/qt/QtEventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopContract, QtEventLoop);

}  // namespace orvex::platform

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
