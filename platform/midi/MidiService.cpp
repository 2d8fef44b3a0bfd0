#include "platform/midi/MidiService.h"

#include "platform/midi/AlsaMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "toolkit/DebugLog.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
MidiServiceOrigin sg_origin = MidiServiceOrigin::kAsChosen;

std::unique_ptr<MidiService> ChooseBackEnd()
{
    const char* pszChoice = getenv("QUILLMARK_MIDI");
    bool bForceAlsa = false;
    if (pszChoice && strcmp(pszChoice, "virtual") == 0)
        return std::make_unique<VirtualMidi>();
    if (pszChoice && strcmp(pszChoice, "alsa") == 0)
        bForceAlsa = true;
    else if (pszChoice && *pszChoice)
        DebugPrintf(
            "MIDI: QUILLMARK_MIDI=%s is neither alsa nor virtual; choosing by the sequencer",
            pszChoice);
    if (std::unique_ptr<MidiService> pAlsa = AlsaMidi::Open(bForceAlsa))
    {
        if (bForceAlsa && !AlsaMidi::HasSequencer(*pAlsa))
            sg_origin = MidiServiceOrigin::kNoSequencer;
        return pAlsa;
    }
    DebugPrintf("MIDI: no ALSA sequencer, using the virtual MIDI back end");
    sg_origin = MidiServiceOrigin::kVirtualForMissing;
    return std::make_unique<VirtualMidi>();
}
} // namespace

MidiService& MidiService::Get()
{
    static std::unique_ptr<MidiService> sg_pService = ChooseBackEnd();
    return *sg_pService;
}

MidiServiceOrigin MidiService::Origin()
{
    Get();
    return sg_origin;
}
