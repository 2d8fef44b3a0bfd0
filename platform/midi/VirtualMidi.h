#pragma once

#include "platform/midi/MidiService.h"
#include "platform/midi/MidiWorker.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The in-process MIDI back end. Its endpoints exist only inside this process: what is
// sent to a destination is kept there for inspection, and bytes injected on a source go
// to every input port connected to it. All callbacks run on one worker thread.
//
// On a machine without a sequencer it stands in for the hardware with one virtual
// instrument ("Quillmark Virtual Instrument - Port 1" in both directions): the
// destination takes SysEx at MIDI wire speed and keeps the last dump it got, the complete
// messages that came less than a second apart; the source plays that dump back every few
// seconds while an input port is connected to it (a built-in demo message until
// something was sent).
//
// The instrument also answers the dump request F0 7D 51 4D 02 F7 (non-commercial id 7D,
// "QM", 02 = request): its source sends the bank of sm_nBankMessages messages
// F0 7D 51 4D 03 <number 00..07> <128 data bytes> F7 at once, or right after the dump
// it is playing. The request is not kept as a dump.
//
// The rest of the public interface is for tests: build a MIDI setup, feed input, look at
// output, and steer completions. Every call may come from any thread.
class VirtualMidi final : public MidiService
{
public:
    // The running back end when it is this one, else null.
    static VirtualMidi* Get();

    VirtualMidi();
    ~VirtualMidi() override;

    // Back to no endpoints at all, nothing captured and plain completions; held
    // completions are released. Clients and ports stay. No notification.
    void Reset();
    // Adds the virtual instrument. Returns its source; its destination is the next ref.
    MIDIEndpointRef AddInstrument();

    // Endpoints; an empty device name makes an endpoint without device. Adding and
    // removing tell every client (object added or removed, then setup changed).
    MIDIEndpointRef AddSource(const char* pszDevice, const char* pszEndpoint);
    MIDIEndpointRef AddDestination(const char* pszDevice, const char* pszEndpoint);
    bool RemoveEndpoint(MIDIEndpointRef hEndpoint);

    // Hands the packets, as one packet list, to every input port connected to the source;
    // returns once they have been handed over (at once when called on the worker).
    void Inject(MIDIEndpointRef hSource, const std::vector<std::vector<uint8_t>>& packets);
    // As if the input of every port connected to the source overran: their clients hear
    // kMIDIInputDataLost after what was injected before. Removing a connected source tells
    // them kMIDIInputSourceGone the same way.
    void BreakInput(MIDIEndpointRef hSource);
    int ConnectionCount(MIDIEndpointRef hSource) const;
    // As if input had reached every client and waited there unread, as behind a reader
    // that the system keeps from running.
    void SetInputWaiting(bool bWaiting);

    // Every byte that reached a destination, and the SysEx sends one by one.
    std::vector<uint8_t> Captured(MIDIEndpointRef hDestination) const;
    std::vector<std::vector<uint8_t>> CapturedSends(MIDIEndpointRef hDestination) const;
    void ClearCaptured(MIDIEndpointRef hDestination);

    // Held completions wait until HoldCompletions(false) releases them in order, or until
    // their port goes.
    void HoldCompletions(bool bHold);
    int HeldCompletions() const;
    // The next SysEx send is refused with this status (no completion follows).
    void FailNextSend(OSStatus status);
    // The next PortConnectDestination is refused with this status.
    void FailNextConnect(OSStatus status);
    // Completions come this much later than they otherwise would.
    void SetCompletionDelay(std::chrono::milliseconds delay);
    // A paced destination takes each send for its time at the sending port's pace, one
    // send after the other (the pace of a new port is MIDI wire speed, 320 us a byte);
    // other destinations complete sends at once.
    void PaceSends(MIDIEndpointRef hDestination, bool bPaced);
    // What the destination reports itself as; new endpoints are software ports.
    void SetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind kind);
    // The pace of the port that sent last to the destination (bytes a second, 0 unpaced);
    // -1 before anything was sent there.
    int64_t LastSendPacing(MIDIEndpointRef hDestination) const;

    // The dump the virtual instrument plays back: one message or more, back to back.
    std::vector<uint8_t> InstrumentDump() const;
    // What the instrument answers its dump request with.
    static std::vector<uint8_t> InstrumentBank();
    static const std::vector<uint8_t>& InstrumentRequest();
    static constexpr int sm_nBankMessages = 8;

    // Returns once every callback due by now has run.
    void WaitIdle();

    // MidiService
    const char* Name() const override { return "virtual"; }
    OSStatus ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                          MIDIClientRef* pClient) override;
    OSStatus ClientDispose(MIDIClientRef hClient) override;
    int GetNumberOfSources() override;
    MIDIEndpointRef GetSource(int iIndex) override;
    int GetNumberOfDestinations() override;
    MIDIEndpointRef GetDestination(int iIndex) override;
    OSStatus GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName) override;
    OSStatus GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName) override;
    OSStatus GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind) override;
    bool InputWaiting(MIDIClientRef hClient) override;
    OSStatus SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond) override;
    OSStatus InputPortCreate(MIDIClientRef hClient, const char* pszName, MIDIReadProc pReadProc,
                             void* pRefCon, MIDIPortRef* pPort) override;
    OSStatus OutputPortCreate(MIDIClientRef hClient, const char* pszName,
                              MIDIPortRef* pPort) override;
    OSStatus PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource,
                               void* pConnRefCon) override;
    OSStatus PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource) override;
    OSStatus PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination) override;
    OSStatus PortDispose(MIDIPortRef hPort) override;
    OSStatus SendSysex(MIDIPortRef hPort, MIDISysexSendRequest* pRequest) override;
    OSStatus Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                  const MIDIPacketList* pList) override;

private:
    using Clock = MidiWorker::Clock;

    struct tagEndpoint
    {
        tagEndpoint(MIDIEndpointRef hEndpoint, bool bIsSource, std::string sDeviceName,
                    std::string sEndpointName)
            : hRef(hEndpoint), bSource(bIsSource), sDevice(std::move(sDeviceName)),
              sName(std::move(sEndpointName))
        {
        }

        MIDIEndpointRef hRef;
        bool bSource;
        std::string sDevice;
        std::string sName;
        MIDIEndpointKind kind = kMIDIEndpointSoftware;
        bool bPaced = false;
        bool bInstrument = false;
        MIDIEndpointRef hInstrumentSource = 0; // of an instrument's destination
        // An instrument source's playback: the chain of that generation plays, a bank
        // waits to be played next.
        uint32_t uPlayGeneration = 0;
        bool bPlaying = false;
        std::shared_ptr<const std::vector<uint8_t>> pAnswer;
        int64_t llLastPacing = -1;
        Clock::time_point busyUntil{};
        std::vector<uint8_t> aCaptured;
        std::vector<std::vector<uint8_t>> aSends;
    };
    struct tagClient
    {
        MIDINotifyProc pNotifyProc;
        void* pRefCon;
    };
    struct tagPort
    {
        MIDIClientRef hClient;
        bool bInput;
        MIDIReadProc pReadProc;
        void* pRefCon;
        std::map<MIDIEndpointRef, void*> connections; // source -> connection reference
        uint32_t uBytesPerSecond = kMidiWireBytesPerSecond;
    };
    struct tagHeldCompletion
    {
        MIDIPortRef hPort;
        MIDISysexSendRequest* pRequest;
    };

    MIDIEndpointRef AddEndpoint(bool bSource, const char* pszDevice, const char* pszEndpoint);
    tagEndpoint* FindEndpoint(MIDIEndpointRef hEndpoint);
    const tagEndpoint* FindEndpoint(MIDIEndpointRef hEndpoint) const;
    MIDIEndpointRef EndpointAt(bool bSource, int iIndex) const;
    void TellClients(MIDINotificationMessageID objectMessage);
    void PostInputBroken(MIDIEndpointRef hSource, OSStatus reason);
    void PostDelivery(MIDIEndpointRef hSource,
                      const std::shared_ptr<MidiPacketListBuffer>& pPackets);
    void Deliver(MIDIPortRef hPort, MIDIEndpointRef hSource,
                 const std::shared_ptr<MidiPacketListBuffer>& pPackets);
    void PostCompletion(MIDIPortRef hPort, MIDISysexSendRequest* pRequest, Clock::time_point due);
    void ReleaseHeld(std::vector<tagHeldCompletion> held);
    void ReleaseHeldOfPort(MIDIPortRef hPort);
    void TakeIntoInstrument(tagEndpoint& destination, const uint8_t* pData, size_t iLength);
    void AnswerRequest(MIDIEndpointRef hSource);
    void PlayInstrument(MIDIEndpointRef hSource, size_t iOffset,
                        std::shared_ptr<const std::vector<uint8_t>> pMessage, uint32_t uGeneration);
    MIDIObjectRef NewRef() { return ++m_hLastRef; }

    mutable std::mutex m_mutex;
    MIDIObjectRef m_hLastRef = 0;
    std::vector<tagEndpoint> m_endpoints; // in the order they were added
    std::map<MIDIClientRef, tagClient> m_clients;
    std::map<MIDIPortRef, tagPort> m_ports;
    bool m_bHold = false;
    std::vector<tagHeldCompletion> m_held;
    OSStatus m_failNextSend = kMIDINoErr;
    OSStatus m_failNextConnect = kMIDINoErr;
    bool m_bInputWaiting = false;
    std::chrono::milliseconds m_completionDelay{0};
    std::vector<uint8_t> m_aInstrumentMessage; // the dump played back
    bool m_bInstrumentDemo = true;
    std::vector<uint8_t> m_aInstrumentAssembly;
    bool m_bInstrumentAssembling = false;
    Clock::time_point m_instrumentLastEnd{};
    // Last member: its thread runs callbacks that use everything above.
    MidiWorker m_worker;
};
