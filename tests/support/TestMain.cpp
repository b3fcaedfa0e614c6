// The main of every test executable: GoogleTest, or the file holder that the tests start.
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (testing_support::RunAsFileHolder(argc, argv)) return 0;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
