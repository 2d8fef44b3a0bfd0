#pragma once

#include "platform/midi/MidiPacket.h"

#include <cstdint>
#include <string>

// The MIDI service the port layer stands on: clients that hear about changes of the
// MIDI setup, the system's sources and destinations with their names, input ports that
// receive packet lists from connected sources, output ports, SysEx sends completed
// asynchronously, and immediate packet sends.
//
// Two back ends implement it: the ALSA sequencer and an in-process virtual one. Get()
// picks one at first use: ALSA when the sequencer opens, otherwise virtual;
// QUILLMARK_MIDI=alsa|virtual forces one.
//
// Threads. Every operation may be called from any thread. Read procedures, SysEx
// completions and notifications run on threads of the back end, never inside the call
// that caused them. Once ClientDispose or PortDispose has returned, no callback of that
// client or port runs any more, and none is running; SysEx sends still in flight on a
// port are completed (their procedure called) before its disposal returns. Disposing a
// client disposes its ports. References are never reused, so a stale one only fails.

using OSStatus = int32_t;

using MIDIObjectRef = uint32_t; // 0 = none
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;

constexpr OSStatus kMIDINoErr = 0;
constexpr OSStatus kMIDIParamErr = -50;
constexpr OSStatus kMIDIInvalidClient = -10830;
constexpr OSStatus kMIDIInvalidPort = -10831;
constexpr OSStatus kMIDIWrongEndpointType = -10832;
constexpr OSStatus kMIDINoConnection = -10833;
constexpr OSStatus kMIDIUnknownEndpoint = -10834;
constexpr OSStatus kMIDIMsgSendErr = -10838;
constexpr OSStatus kMIDIServerStartErr = -10839;

using MIDINotificationMessageID = int32_t;
constexpr MIDINotificationMessageID kMIDIMsgSetupChanged = 1;
constexpr MIDINotificationMessageID kMIDIMsgObjectAdded = 2;
constexpr MIDINotificationMessageID kMIDIMsgObjectRemoved = 3;
// Input of a client's port from a connected source broke off (MIDIIOErrorNotification).
constexpr MIDINotificationMessageID kMIDIMsgIOError = 7;

struct MIDINotification
{
    MIDINotificationMessageID messageID;
    uint32_t messageSize;
};

// Why input from a source broke off: bytes were dropped before the port read them (what
// came before the loss was delivered whole, what follows it resumes somewhere later), or
// the source went away.
constexpr OSStatus kMIDIInputDataLost = -10860;
constexpr OSStatus kMIDIInputSourceGone = -10861;

// Comes in order with the packets of the source: everything delivered before it arrived
// before the break.
struct MIDIIOErrorNotification
{
    MIDINotificationMessageID messageID; // kMIDIMsgIOError
    uint32_t messageSize;
    MIDIEndpointRef source;
    OSStatus errorCode; // kMIDIInput*
};

using MIDINotifyProc = void (*)(const MIDINotification* pMessage, void* pRefCon);
using MIDIReadProc = void (*)(const MIDIPacketList* pList, void* pReadProcRefCon,
                              void* pSrcConnRefCon);

struct MIDISysexSendRequest;
using MIDICompletionProc = void (*)(MIDISysexSendRequest* pRequest);

// One asynchronous SysEx send. The caller owns the record and the bytes; the back end
// leaves both alone once it has called the completion procedure, which it does exactly
// once for every send it accepted (result 0) and never for a refused one. complete is
// true in that call when the bytes reached the destination, false when it went away
// before they had all had their time.
struct MIDISysexSendRequest
{
    MIDIEndpointRef destination;
    const uint8_t* data;
    uint32_t bytesToSend;
    bool complete;
    MIDICompletionProc completionProc;
    void* completionRefCon;
};

// MIDI wire speed: 31250 baud, ten bits a byte.
constexpr unsigned kMidiWireMicrosecondsPerByte = 320;
constexpr uint32_t kMidiWireBytesPerSecond = 3125;

// What lies behind a destination. A hardware port (a MIDI cable, or a port that may feed
// one) takes bytes no faster than its wire and gives the sender no flow control; a
// software port (another program, a software synthesizer) takes them as fast as it reads.
using MIDIEndpointKind = int32_t;
constexpr MIDIEndpointKind kMIDIEndpointSoftware = 0;
constexpr MIDIEndpointKind kMIDIEndpointHardware = 1;

// How the running back end came to be chosen.
enum class MidiServiceOrigin
{
    kAsChosen,          // the one asked for, or the sequencer that was found
    kNoSequencer,       // QUILLMARK_MIDI=alsa without a usable sequencer: no MIDI at all
    kVirtualForMissing, // chosen by the sequencer, and there was none: the virtual one
};

class MidiService
{
public:
    static MidiService& Get();
    // Chooses the back end first if none is running yet.
    static MidiServiceOrigin Origin();

    virtual ~MidiService() = default;

    // "alsa" or "virtual".
    virtual const char* Name() const = 0;

    virtual OSStatus ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                                  MIDIClientRef* pClient) = 0;
    virtual OSStatus ClientDispose(MIDIClientRef hClient) = 0;

    // The system's sources and destinations in its own order, without this process's
    // own clients. An index out of range gives 0.
    virtual int GetNumberOfSources() = 0;
    virtual MIDIEndpointRef GetSource(int iIndex) = 0;
    virtual int GetNumberOfDestinations() = 0;
    virtual MIDIEndpointRef GetDestination(int iIndex) = 0;

    // The endpoint's own name, and the name of the device it belongs to (empty for an
    // endpoint without a device).
    virtual OSStatus GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName) = 0;
    virtual OSStatus GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName) = 0;
    // Where the system numbers the endpoint ("client:port" on the ALSA sequencer, as
    // aconnect -l shows it); empty on a back end without such numbers.
    virtual OSStatus GetEndpointAddress(MIDIEndpointRef hEndpoint, std::string* pAddress)
    {
        (void)hEndpoint;
        pAddress->clear();
        return kMIDINoErr;
    }

    virtual OSStatus InputPortCreate(MIDIClientRef hClient, const char* pszName,
                                     MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort) = 0;
    virtual OSStatus OutputPortCreate(MIDIClientRef hClient, const char* pszName,
                                      MIDIPortRef* pPort) = 0;
    virtual OSStatus PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource,
                                       void* pConnRefCon) = 0;
    virtual OSStatus PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource) = 0;
    // Ties the output port to the destination it will send to, so that a destination
    // that refuses a sender says so now rather than at the first send.
    virtual OSStatus PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination) = 0;
    virtual OSStatus PortDispose(MIDIPortRef hPort) = 0;

    virtual OSStatus GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind) = 0;

    // Whether input has reached the client that its read procedures have not been handed
    // yet: a reader kept from running for a while has events waiting, and silence on the
    // line is not silence until they are read.
    virtual bool InputWaiting(MIDIClientRef hClient)
    {
        (void)hClient;
        return false;
    }

    // How the output port's SysEx sends complete: at a rate in bytes a second, each send
    // once its bytes have had their time at that rate after the send before it; or, at
    // 0, as soon as the destination has taken them (waiting while it is full, never
    // dropping them). A new output port goes at kMidiWireBytesPerSecond.
    virtual OSStatus SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond) = 0;

    // Sends the request's bytes from the output port to its destination and returns at
    // once; the completion procedure runs once the bytes have gone out at the port's pace.
    virtual OSStatus SendSysex(MIDIPortRef hPort, MIDISysexSendRequest* pRequest) = 0;
    // Sends the packets from the output port to the destination now.
    virtual OSStatus Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                          const MIDIPacketList* pList) = 0;
};
