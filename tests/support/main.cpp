// The main of the test programs: the program's floating-point environment
// and decimal separator, as the window and the checker set them at start.
#include <gtest/gtest.h>

#include "engine/values/text.h"

int main(int argc, char** argv) {
    corvala::InitializeFloatingPoint();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
