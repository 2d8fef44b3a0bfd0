#pragma once

#include "platform/midi/MidiService.h"

#include <atomic>
#include <string>
#include <vector>

class CLumMidi;

// What a CLumMidi reports to its owner. Every operation does nothing by default. The
// data and completion calls come on MIDI service threads; the byte pointer is valid only
// during the call. Not deleted through this interface.
class CLumMidiListener
{
public:
    // A complete message: a run that starts with a status byte other than F0/F7, or a
    // whole SysEx message F0 ... F7.
    virtual void OnLumMidiInReceive(CLumMidi* /*pMidi*/, int /*iLength*/, unsigned char* /*pData*/)
    {
    }
    // Every raw run of incoming bytes, before anything else looks at it.
    virtual void OnLumMidiInReceiving(CLumMidi* /*pMidi*/, int /*iLength*/,
                                      unsigned char* /*pData*/)
    {
    }
    // A SysEx send has completed; the length is that of the request.
    virtual void OnLumMidiOutSysExSendComplete(CLumMidi* /*pMidi*/, int /*iLength*/) {}
    // In place of the completion: the destination went away before the block's bytes had
    // all had their time, so they did not all arrive.
    virtual void OnLumMidiOutSysExSendFailed(CLumMidi* /*pMidi*/, int /*iLength*/) {}
    // Input from the open MIDI IN broke off (kMIDIInputDataLost or kMIDIInputSourceGone),
    // on the MIDI input thread, after every byte that came before the break. A SysEx
    // message the break cut into is thrown away.
    virtual void OnLumMidiInBroken(CLumMidi* /*pMidi*/, int /*iReason*/) {}
    // The MIDI setup of the system changed; both ints are 0.
    virtual void OnLumMidiNotification(CLumMidi* /*pMidi*/, int /*iParam1*/, int /*iParam2*/) {}

protected:
    ~CLumMidiListener() = default;
};

// One MIDI client with at most one input port connected to one source and at most one
// output port aimed at one destination. Incoming bytes are cut into runs at status bytes
// and SysEx messages are assembled across packets; SysEx blocks are sent asynchronously
// with a completion call, short messages at once. Every callback goes to the object's
// own hook first, then to the listener.
//
// Create, Destroy, the open and close operations and the name functions belong to one
// thread (the main thread). Once MidiInClose, MidiOutClose or Destroy has returned, no
// callback of what it closed runs any more; SysEx sends still in flight are completed
// before MidiOutClose or Destroy returns.
class CLumMidi
{
public:
    CLumMidi();
    virtual ~CLumMidi();

    CLumMidi(const CLumMidi&) = delete;
    CLumMidi& operator=(const CLumMidi&) = delete;

    virtual int Create(const char* pszClientName); // 1 done, 0 failed
    virtual int Destroy();                         // 1 disposed, 0 nothing to do or failed
    // Hooks for a derived class, called before the listener.
    virtual void OnMidiInRecv(int iLength, unsigned char* pData);
    virtual void OnMidiInReceiving(int iLength, unsigned char* pData);
    virtual void OnMidiOutSysExSendComplete(int iLength);

    // The listener is not owned; set it before opening ports, keep it alive until the
    // ports are closed and the client is destroyed.
    void SetListener(CLumMidiListener* pListener);

    int MidiInOpen(int iIndex); // 1 done, 0 failed
    void MidiInClose();
    bool MidiInIsOpen() const;
    // Whether input has come that has not reached the listener yet (false when MIDI IN is
    // closed).
    bool MidiInHasWaiting() const;
    int GetNumMidiInDevices();
    int GetMidiInDeviceName(int iIndex, char* pszName, int iSize);

    int MidiOutOpen(int iIndex); // 1 done, 0 failed
    void MidiOutClose();
    bool MidiOutIsOpen() const;
    int GetNumMidiOutDevices();
    int GetMidiOutDeviceName(int iIndex, char* pszName, int iSize);
    // 1 when the open destination is a hardware port (no flow control: sends must be
    // paced), 0 for a software port or when MIDI OUT is closed.
    int MidiOutIsHardware();
    // Whether the open destination is still there (false when MIDI OUT is closed).
    bool MidiOutDestinationExists();
    // Paces the following SysEx sends at the rate in bytes a second; 0 sends them as fast
    // as the destination takes them. A newly opened MIDI OUT goes at MIDI wire speed.
    // 1 done, 0 when MIDI OUT is closed or the service refused.
    int SetMidiOutPacing(uint32_t uBytesPerSecond);

    // Sends a block of SysEx bytes as they are (copied at once) and returns the service's
    // status: 0 accepted, and then OnLumMidiOutSysExSendComplete (or, for a destination
    // that went away, OnLumMidiOutSysExSendFailed) follows exactly once.
    // With MIDI OUT closed returns 0 and sends nothing.
    int Out(int iLength, unsigned char* pData);
    // Sends the three bytes status|channel, data 1, data 2 at once. 0 when sent or closed.
    int Out(int iChannel, int iStatus, int iData1, int iData2);

    // 7-bit packing of 8-bit data: groups of 7 bytes, each behind a byte holding their
    // top bits. MemoryToMidi returns the number of bytes written.
    int MemoryToMidi(unsigned char* pDest, unsigned char* pSrc, int iCount);
    void MidiToMemory(unsigned char* pDest, unsigned char* pSrc, int iCount);

    // The name of the device that owns the endpoint; empty for an endpoint without one.
    static std::string MacGetEndpointDeviceName(MIDIEndpointRef hEndpoint);

    // Service callbacks; the reference value is the CLumMidi.
    static void MacNotifyProc(const MIDINotification* pMessage, void* pRefCon);
    static void MacReadProc(const MIDIPacketList* pList, void* pReadProcRefCon,
                            void* pSrcConnRefCon);
    static void MacCompleteProc(MIDISysexSendRequest* pRequest);

    // Handles one run of incoming bytes (a status byte and its data bytes, or data bytes
    // that continue a SysEx message).
    void MacRecvProcess(int iLength, unsigned char* pData);

    // Logs bytes as hexadecimal, one line of at most 255 characters.
    static void DebugMidiMessagePrint(const unsigned char* pData, int iLength);

    // The longest SysEx message assembled; a longer one is dropped.
    static constexpr int sm_iMaxSysExSize = 4 * 1024 * 1024;

private:
    void CutIntoRuns(const unsigned char* pData, int iLength);
    void AppendSysEx(const unsigned char* pData, int iLength);
    void DeliverSysEx();
    void DropSysEx();

    int m_bSysExInProgress;
    // The rest of an overlong message is being skipped until its F7 (receive thread only).
    bool m_bSysExDropped;
    std::vector<unsigned char> m_aSysExBuffer;
    int m_iSysExSize;
    std::atomic<CLumMidiListener*> m_pListener;
    MIDIClientRef m_hClient;
    MIDIPortRef m_hOutPort;
    MIDIPortRef m_hInPort;
    MIDIEndpointRef m_hDestination;
    MIDIEndpointRef m_hSource;
    // A run interrupted by real-time bytes, gathered around them (receive thread only).
    std::vector<unsigned char> m_aRunBuffer;
};

// The same device functions without an object. Callers pass 256-byte name buffers.
int GetNumMidiInDevices();
int GetMidiInDeviceName(int iIndex, char* pszName, int iSize);
int GetNumMidiOutDevices();
int GetMidiOutDeviceName(int iIndex, char* pszName, int iSize);
std::string MacGetEndpointDeviceName(MIDIEndpointRef hEndpoint);
// The system's number of the device ("client:port"), or an empty string where the MIDI
// service numbers none.
std::string GetMidiInDeviceAddress(int iIndex);
std::string GetMidiOutDeviceAddress(int iIndex);
// The name with its control characters (a driver's line break or tab) as spaces, as the
// display names above have them: a menu item would show such a character as a box.
std::string PrintableDeviceName(const char* pszName);

// Size of iCount bytes in 7-bit form.
int CalcDumpMessageSize(int iCount);
