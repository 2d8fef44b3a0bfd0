#include "file/MidiManufacturer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace
{
struct tagMaker
{
    int nIDLength;
    uint32_t uiID;
    const char* pszName;
};

struct tagUniversal
{
    uint8_t ucID; // 0x7E or 0x7F
    uint8_t ucSub1;
    int16_t iSub2; // -1: the entry names every second sub-ID of ucSub1
    const char* pszName;
};

// Source: the MIDI Manufacturers Association's list "Manufacturer SysEx ID Numbers"
// (midi.org), one-byte IDs and three-byte 00 xx yy IDs; and the table of Universal System
// Exclusive messages of the MIDI 1.0 Detailed Specification (sub-IDs of 7E and 7F).
// Sorted by the length of the ID, then the ID.
constexpr tagMaker kMakers[] = {
    {1, 0x01, "Sequential Circuits"},
    {1, 0x02, "IDP"},
    {1, 0x03, "Voyetra Turtle Beach"},
    {1, 0x04, "Moog"},
    {1, 0x05, "Passport Designs"},
    {1, 0x06, "Lexicon"},
    {1, 0x07, "Kurzweil"},
    {1, 0x08, "Fender"},
    {1, 0x09, "MIDI9"},
    {1, 0x0A, "AKG Acoustics"},
    {1, 0x0B, "Voyce Music"},
    {1, 0x0C, "WaveFrame"},
    {1, 0x0D, "ADA Signal Processors"},
    {1, 0x0E, "Garfield Electronics"},
    {1, 0x0F, "Ensoniq"},
    {1, 0x10, "Oberheim"},
    {1, 0x11, "Apple"},
    {1, 0x12, "Grey Matter Response"},
    {1, 0x13, "Digidesign"},
    {1, 0x14, "Palmtree Instruments"},
    {1, 0x15, "JLCooper Electronics"},
    {1, 0x16, "Lowrey"},
    {1, 0x17, "Adams-Smith"},
    {1, 0x18, "E-mu"},
    {1, 0x19, "Harmony Systems"},
    {1, 0x1A, "ART"},
    {1, 0x1B, "Baldwin"},
    {1, 0x1C, "Eventide"},
    {1, 0x1D, "Inventronics"},
    {1, 0x1E, "Key Concepts"},
    {1, 0x1F, "Clarity"},
    {1, 0x20, "Passac"},
    {1, 0x21, "Proel Labs (SIEL)"},
    {1, 0x22, "Synthaxe"},
    {1, 0x23, "Stepp"},
    {1, 0x24, "Hohner"},
    {1, 0x25, "Twister"},
    {1, 0x26, "Ketron"},
    {1, 0x27, "Jellinghaus MS"},
    {1, 0x28, "Southworth Music Systems"},
    {1, 0x29, "PPG"},
    {1, 0x2A, "JEN"},
    {1, 0x2B, "Solid State Logic Organ Systems"},
    {1, 0x2C, "Audio Veritrieb-P. Struven"},
    {1, 0x2D, "Neve"},
    {1, 0x2E, "Soundtracs"},
    {1, 0x2F, "Elka"},
    {1, 0x30, "Dynacord"},
    {1, 0x31, "Viscount"},
    {1, 0x32, "Drawmer"},
    {1, 0x33, "Clavia"},
    {1, 0x34, "Audio Architecture"},
    {1, 0x35, "Generalmusic"},
    {1, 0x36, "Cheetah Marketing"},
    {1, 0x37, "C.T.M."},
    {1, 0x38, "Simmons"},
    {1, 0x39, "Soundcraft"},
    {1, 0x3A, "Steinberg"},
    {1, 0x3B, "Wersi"},
    {1, 0x3C, "AVAB Niethammer"},
    {1, 0x3D, "Digigram"},
    {1, 0x3E, "Waldorf"},
    {1, 0x3F, "Quasimidi"},
    {1, 0x40, "Kawai"},
    {1, 0x41, "Roland"},
    {1, 0x42, "Korg"},
    {1, 0x43, "Yamaha"},
    {1, 0x44, "Casio"},
    {1, 0x46, "Kamiya Studio"},
    {1, 0x47, "Akai"},
    {1, 0x48, "Victor Company of Japan"},
    {1, 0x4B, "Fujitsu"},
    {1, 0x4C, "Sony"},
    {1, 0x4E, "Teac"},
    {1, 0x50, "Matsushita Electric"},
    {1, 0x51, "Fostex"},
    {1, 0x52, "Zoom"},
    {1, 0x54, "Matsushita Communication"},
    {1, 0x55, "Suzuki"},
    {1, 0x56, "Fuji Sound"},
    {1, 0x57, "Acoustic Technical Laboratory"},
    {1, 0x59, "Faith"},
    {1, 0x5A, "Internet Corporation"},
    {1, 0x5C, "Seekers"},
    {1, 0x5F, "SD Card Association"},
    {1, 0x7D, "Non-Commercial"},
    {1, 0x7E, "Universal Non-Real Time"},
    {1, 0x7F, "Universal Real Time"},
    {3, 0x00000E, "Alesis"},
    {3, 0x000010, "DOD Electronics"},
    {3, 0x000015, "KAT"},
    {3, 0x000016, "Opcode"},
    {3, 0x00001B, "Peavey"},
    {3, 0x00001C, "360 Systems"},
    {3, 0x00003B, "Mark of the Unicorn"},
    {3, 0x000041, "Microsoft"},
    {3, 0x000066, "Mackie"},
    {3, 0x000105, "M-Audio"},
    {3, 0x00010C, "Line 6"},
    {3, 0x00201F, "TC Electronic"},
    {3, 0x002020, "Doepfer"},
    {3, 0x002029, "Focusrite/Novation"},
    {3, 0x002032, "Behringer"},
    {3, 0x002033, "Access Music"},
    {3, 0x00203C, "Elektron"},
    {3, 0x00206B, "Arturia"},
    {3, 0x002076, "Teenage Engineering"},
    {3, 0x002109, "Native Instruments"},
    {3, 0x002110, "ROLI"},
};

constexpr tagUniversal kUniversals[] = {
    {0x7E, 0x01, -1, "Sample Dump Header"},
    {0x7E, 0x02, -1, "Sample Data Packet"},
    {0x7E, 0x03, -1, "Sample Dump Request"},
    {0x7E, 0x04, -1, "MIDI Time Code Cueing"},
    {0x7E, 0x05, -1, "Sample Dump Extensions"},
    {0x7E, 0x06, -1, "General Information"},
    {0x7E, 0x06, 0x01, "Identity Request"},
    {0x7E, 0x06, 0x02, "Identity Reply"},
    {0x7E, 0x07, -1, "File Dump"},
    {0x7E, 0x08, -1, "MIDI Tuning Standard"},
    {0x7E, 0x09, -1, "General MIDI"},
    {0x7E, 0x09, 0x01, "GM System On"},
    {0x7E, 0x09, 0x02, "GM System Off"},
    {0x7E, 0x09, 0x03, "GM2 System On"},
    {0x7E, 0x0A, -1, "Downloadable Sounds"},
    {0x7E, 0x0B, -1, "File Reference"},
    {0x7E, 0x0C, -1, "MIDI Visual Control"},
    {0x7E, 0x0D, -1, "MIDI Capability Inquiry"},
    {0x7E, 0x7B, -1, "End of File"},
    {0x7E, 0x7C, -1, "Wait"},
    {0x7E, 0x7D, -1, "Cancel"},
    {0x7E, 0x7E, -1, "NAK"},
    {0x7E, 0x7F, -1, "ACK"},
    {0x7F, 0x01, -1, "MIDI Time Code"},
    {0x7F, 0x01, 0x01, "MTC Full Message"},
    {0x7F, 0x01, 0x02, "MTC User Bits"},
    {0x7F, 0x02, -1, "MIDI Show Control"},
    {0x7F, 0x03, -1, "Notation Information"},
    {0x7F, 0x04, -1, "Device Control"},
    {0x7F, 0x04, 0x01, "Master Volume"},
    {0x7F, 0x04, 0x02, "Master Balance"},
    {0x7F, 0x04, 0x03, "Master Fine Tuning"},
    {0x7F, 0x04, 0x04, "Master Coarse Tuning"},
    {0x7F, 0x04, 0x05, "Global Parameter Control"},
    {0x7F, 0x05, -1, "MTC Cueing"},
    {0x7F, 0x06, -1, "MIDI Machine Control Command"},
    {0x7F, 0x07, -1, "MIDI Machine Control Response"},
    {0x7F, 0x08, -1, "MIDI Tuning Standard"},
    {0x7F, 0x09, -1, "Controller Destination Setting"},
    {0x7F, 0x0A, -1, "Key-based Instrument Control"},
    {0x7F, 0x0B, -1, "Scalable Polyphony MIP"},
    {0x7F, 0x0C, -1, "Mobile Phone Control"},
};

constexpr bool Before(const tagMaker& maker, int nIDLength, uint32_t uiID)
{
    return maker.nIDLength < nIDLength || (maker.nIDLength == nIDLength && maker.uiID < uiID);
}

constexpr bool IsSorted()
{
    for (size_t i = 1; i < std::size(kMakers); ++i)
        if (!Before(kMakers[i - 1], kMakers[i].nIDLength, kMakers[i].uiID))
            return false;
    return true;
}
static_assert(IsSorted(), "the lookup searches kMakers by halves");

constexpr unsigned char kExtendedID = 0x00;
constexpr unsigned char kSysExEnd = 0xF7;
} // namespace

const char* CMidiManufacturer::NameOf(int nIDLength, uint32_t uiID)
{
    const auto* pEnd = std::end(kMakers);
    const auto* pFound = std::lower_bound(std::begin(kMakers), pEnd, uiID,
                                          [nIDLength](const tagMaker& maker, uint32_t id)
                                          { return Before(maker, nIDLength, id); });
    return pFound != pEnd && pFound->nIDLength == nIDLength && pFound->uiID == uiID
               ? pFound->pszName
               : nullptr;
}

const char* CMidiManufacturer::UniversalNameOf(uint32_t uiID, int iSubID1, int iSubID2)
{
    const char* pszGeneral = nullptr;
    for (const tagUniversal& entry : kUniversals)
    {
        if (entry.ucID != uiID || entry.ucSub1 != iSubID1)
            continue;
        if (entry.iSub2 == iSubID2 && iSubID2 >= 0)
            return entry.pszName;
        if (entry.iSub2 < 0)
            pszGeneral = entry.pszName;
    }
    return pszGeneral;
}

tagMidiManufacturer CMidiManufacturer::Identify(const unsigned char* pMessage, size_t nLength)
{
    tagMidiManufacturer maker;
    // The bytes that may belong to the header: not the F7 that ends the message.
    const size_t nBody = nLength > 0 && pMessage[nLength - 1] == kSysExEnd ? nLength - 1 : nLength;
    if (nBody < 2)
        return maker;
    if (pMessage[1] == kExtendedID)
    {
        if (nBody < 4)
            return maker;
        maker.uiID = uint32_t(pMessage[2]) << 8 | pMessage[3];
        maker.nIDLength = 3;
    }
    else
    {
        maker.uiID = pMessage[1];
        maker.nIDLength = 1;
    }
    maker.pszName = NameOf(maker.nIDLength, maker.uiID);
    const size_t nDevice = size_t(1 + maker.nIDLength);
    maker.nDataStart = std::min(nDevice + 1, nBody);
    if (nDevice < nBody)
        maker.iDeviceID = pMessage[nDevice];
    if (maker.nIDLength == 1 && (maker.uiID == 0x7E || maker.uiID == 0x7F))
    {
        const int iSub1 = nDevice + 1 < nBody ? pMessage[nDevice + 1] : -1;
        const int iSub2 = nDevice + 2 < nBody ? pMessage[nDevice + 2] : -1;
        if (iSub1 >= 0)
            maker.pszSubName = UniversalNameOf(maker.uiID, iSub1, iSub2);
    }
    return maker;
}

int CMidiManufacturer::Format(const tagMidiManufacturer& maker, char* pszText, size_t nSize)
{
    int nWritten = 0;
    if (maker.nIDLength == 0)
        nWritten = snprintf(pszText, nSize, "%s", "");
    else if (maker.pszName && maker.pszSubName)
        nWritten = snprintf(pszText, nSize, "%s: %s", maker.pszName, maker.pszSubName);
    else if (maker.pszName)
        nWritten = snprintf(pszText, nSize, "%s", maker.pszName);
    else if (maker.nIDLength == 3)
        nWritten = snprintf(pszText, nSize, "00 %02X %02X", unsigned(maker.uiID >> 8),
                            unsigned(maker.uiID & 0xFF));
    else
        nWritten = snprintf(pszText, nSize, "%02X", unsigned(maker.uiID));
    return nSize == 0 ? 0 : std::min(nWritten, int(nSize) - 1);
}
