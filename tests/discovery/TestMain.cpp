#include "support/PrivateNetwork.h"

#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!EnterPrivateNetwork()) {
        std::fprintf(stderr, "note: no private network namespace; using the machine's loopback\n");
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
