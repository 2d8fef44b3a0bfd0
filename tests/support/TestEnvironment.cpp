#include "support/TestEnvironment.h"

#include <cstdlib>

void SetTestEnvironmentDefaults()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUILLMARK_MIDI", "virtual", 0);
    setenv("QUILLMARK_RESOURCES", QUILLMARK_TEST_RESOURCES, 0);
}
