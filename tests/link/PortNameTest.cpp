// The short port names `list` prints beside the full paths.

#include <gtest/gtest.h>

#include "link/PortName.h"

namespace quelvar::link {
namespace {

TEST(PortName, EachSystemsPathGivesAShortName) {
    EXPECT_EQ(ShortPortName("\\\\?\\hid#vid_04d8&pid_003f#7&2a8b1c&0&0000#{4d1e55b2-f16f-11cf-88cb-"
                            "001111000030}"),
              "7&2a8b1c&0&0000");
    EXPECT_EQ(ShortPortName("sim:communicator#2"), "#2");
    EXPECT_EQ(ShortPortName("sim:communicator"), "sim:communicator");
    // A hidraw node that sysfs does not know (here) keeps its own name.
    EXPECT_EQ(ShortPortName("/dev/hidraw99"), "hidraw99");
    EXPECT_EQ(ShortPortName(""), "");
}

}  // namespace
}  // namespace quelvar::link
