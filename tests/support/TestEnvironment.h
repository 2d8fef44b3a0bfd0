#pragma once

// Sets the test defaults that the caller's environment does not already set:
// QT_QPA_PLATFORM=offscreen, QUILLMARK_MIDI=virtual and QUILLMARK_RESOURCES=<the build
// tree's resource folder>.
void SetTestEnvironmentDefaults();
