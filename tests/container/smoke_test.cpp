#include <gtest/gtest.h>

#include "container/avi_header_scan.h"
#include "support/avi_writer.h"

namespace strovanik::testing {
namespace {

TEST(AviWriter, StandardFileScansToItsOwnFields) {
    AviSpec spec;
    spec.main.totalFrames = 1234;
    spec.audio = {AudioSpec{}, AudioSpec{.formatTag = 0x2000, .channels = 6}};
    container::MemorySource source(buildAvi(spec));
    const auto headers = container::scanAviHeaders(source);
    ASSERT_TRUE(headers.has_value());
    EXPECT_EQ(headers->mainHeader.dwTotalFrames, 1234);
    EXPECT_EQ(headers->videoStream.fccHandler(), container::fourCc("XVID"));
    EXPECT_EQ(headers->audioStream2.nChannels(), 6);
    EXPECT_EQ(headers->audioState, 2);
}

}  // namespace
}  // namespace strovanik::testing
