#include "platform/midi/MidiService.h"
