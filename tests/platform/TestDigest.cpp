// The digests against the published test vectors (RFC 1321, FIPS 180) and
// lengths around the 56-byte padding boundary and the 64-byte block.
#include <gtest/gtest.h>

#include "foundation/modHash.h"

namespace orvex::test {
namespace {

struct DigestRow {
    std::string data;
    const char* md5;
    const char* sha1;
};

TEST(Digest, PublishedVectorsAndBlockBoundaries) {
    const DigestRow rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"a", "0cc175b9c0f1b6a831c399e269772661", "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0", "c12252ceda8be8994d5fa0290a47231c1d16aae3"},
        {std::string(55, 'x'), "04364420e25c512fd958a70738aa8f72", nullptr},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "8215ef0796a20bcaaae116d3876c664a",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(56, 'x'), nullptr, "901305367c259952f4e7af8323f480d59f81335b"},
        {std::string(64, 'x'), "c1bb4f81d892b2d57947682aeb252456", nullptr},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a", "50abf5706a150990a08b2c5ea40fa0e585554732"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const DigestRow& row : rows) {
        SCOPED_TRACE(row.data.size() > 80 ? std::to_string(row.data.size()) + " bytes" : row.data);
        if (row.md5) {
            EXPECT_EQ(hashText(row.data, kHashMd5, true), row.md5);
        }
        if (row.sha1) {
            EXPECT_EQ(hashText(row.data, kHashSha1, true), row.sha1);
        }
    }
}

}  // namespace
}  // namespace orvex::test
