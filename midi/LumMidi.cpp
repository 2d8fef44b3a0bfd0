#include "midi/LumMidi.h"

#include "toolkit/DebugLog.h"

#include <cstring>

namespace
{
// Cuts a name to at most iMaxBytes without splitting a UTF-8 character.
void CutName(std::string& sName, size_t iMaxBytes)
{
    if (sName.size() <= iMaxBytes)
        return;
    size_t iLength = iMaxBytes;
    while (iLength > 0 && (static_cast<unsigned char>(sName[iLength]) & 0xC0) == 0x80)
        --iLength;
    sName.resize(iLength);
}

// "device - endpoint", the name under which devices are listed, opened and remembered.
int GetEndpointDisplayName(MIDIEndpointRef hEndpoint, char* pszName, int iSize)
{
    std::string sEndpoint;
    MidiService::Get().GetEndpointName(hEndpoint, &sEndpoint);
    sEndpoint = PrintableDeviceName(sEndpoint.c_str());
    std::string sDevice = PrintableDeviceName(MacGetEndpointDeviceName(hEndpoint).c_str());
    CutName(sDevice, 255);
    CutName(sEndpoint, 255);
    if (pszName && iSize > 0)
    {
        std::string sDisplay = sDevice + " - " + sEndpoint;
        CutName(sDisplay, size_t(iSize - 1));
        memcpy(pszName, sDisplay.c_str(), sDisplay.size() + 1);
    }
    return 1;
}
} // namespace

std::string PrintableDeviceName(const char* pszName)
{
    std::string sName = pszName ? pszName : "";
    for (char& c : sName)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return sName;
}

CLumMidi::CLumMidi()
    : m_bSysExInProgress(0), m_bSysExDropped(false), m_iSysExSize(0), m_pListener(nullptr),
      m_hClient(0), m_hOutPort(0), m_hInPort(0), m_hDestination(0), m_hSource(0)
{
}

CLumMidi::~CLumMidi()
{
    MidiOutClose();
    MidiInClose();
    CLumMidi::Destroy();
}

int CLumMidi::Create(const char* pszClientName)
{
    try
    {
        if (m_hClient)
            throw "Client is already created.";
        if (!pszClientName)
            throw "Failed to create CFString.";
        MIDIClientRef hClient = 0;
        if (MidiService::Get().ClientCreate(pszClientName, MacNotifyProc, this, &hClient) !=
            kMIDINoErr)
            throw "Failed to call MIDIClientCreate().";
        m_hClient = hClient;
        return 1;
    }
    catch (const char* pszError)
    {
        DebugPrintf("CLumMidi::Create() - %s", pszError);
        return 0;
    }
}

int CLumMidi::Destroy()
{
    if (!m_hClient)
        return 0;
    if (MidiService::Get().ClientDispose(m_hClient) != kMIDINoErr)
    {
        DebugPrintf("Failed to call MIDIClientDispose().");
        return 0;
    }
    m_hClient = 0;
    return 1;
}

void CLumMidi::OnMidiInRecv(int /*iLength*/, unsigned char* /*pData*/) {}

void CLumMidi::OnMidiInReceiving(int /*iLength*/, unsigned char* /*pData*/) {}

void CLumMidi::OnMidiOutSysExSendComplete(int /*iLength*/) {}

void CLumMidi::SetListener(CLumMidiListener* pListener)
{
    m_pListener.store(pListener);
}

int CLumMidi::MidiInOpen(int iIndex)
{
    try
    {
        if (MidiInIsOpen())
            throw "MIDI IN already opened.";
        MidiService& service = MidiService::Get();
        if (iIndex < 0 || iIndex >= service.GetNumberOfSources())
            throw "Not found MIDI IN device.";
        if (service.InputPortCreate(m_hClient, "LumMidiInPort", MacReadProc, this, &m_hInPort) !=
            kMIDINoErr)
        {
            m_hInPort = 0;
            throw "Faild to MIDIInputPortCreate().";
        }
        m_hSource = service.GetSource(iIndex);
        if (service.PortConnectSource(m_hInPort, m_hSource, nullptr) != kMIDINoErr)
        {
            service.PortDispose(m_hInPort);
            m_hSource = 0;
            m_hInPort = 0;
            throw "Faild to MIDIPortConnectSource().";
        }
        return 1;
    }
    catch (const char* pszError)
    {
        DebugPrintf("CLumMidi::MidiInOpen() - %s", pszError);
        return 0;
    }
}

void CLumMidi::MidiInClose()
{
    if (!MidiInIsOpen())
        return;
    MidiService& service = MidiService::Get();
    service.PortDisconnectSource(m_hInPort, m_hSource);
    m_hSource = 0;
    service.PortDispose(m_hInPort);
    m_hInPort = 0;
}

bool CLumMidi::MidiInIsOpen() const
{
    return m_hInPort != 0;
}

bool CLumMidi::MidiInHasWaiting() const
{
    return MidiInIsOpen() && MidiService::Get().InputWaiting(m_hClient);
}

int CLumMidi::GetNumMidiInDevices()
{
    return ::GetNumMidiInDevices();
}

int CLumMidi::GetMidiInDeviceName(int iIndex, char* pszName, int iSize)
{
    return ::GetMidiInDeviceName(iIndex, pszName, iSize);
}

int CLumMidi::MidiOutOpen(int iIndex)
{
    try
    {
        if (MidiOutIsOpen())
            throw "MIDI OUT already opened.";
        MidiService& service = MidiService::Get();
        if (iIndex < 0 || iIndex >= service.GetNumberOfDestinations())
            throw "Not found MIDI Out device.";
        if (service.OutputPortCreate(m_hClient, "LumMidiOutPort", &m_hOutPort) != kMIDINoErr)
        {
            m_hOutPort = 0;
            throw "Faild to MIDIOutputPortCreate().";
        }
        m_hDestination = service.GetDestination(iIndex);
        // A destination that will not take a sender is found out now, not at the first send.
        if (service.PortConnectDestination(m_hOutPort, m_hDestination) != kMIDINoErr)
        {
            service.PortDispose(m_hOutPort);
            m_hOutPort = 0;
            throw "The MIDI Out device refused the connection.";
        }
        return 1;
    }
    catch (const char* pszError)
    {
        DebugPrintf("CLumMidi::MidiOutOpen() - %s", pszError);
        return 0;
    }
}

void CLumMidi::MidiOutClose()
{
    if (!MidiOutIsOpen())
        return;
    MidiService::Get().PortDispose(m_hOutPort);
    m_hOutPort = 0;
}

bool CLumMidi::MidiOutIsOpen() const
{
    return m_hOutPort != 0;
}

bool CLumMidi::MidiOutDestinationExists()
{
    std::string sName;
    return MidiOutIsOpen() &&
           MidiService::Get().GetEndpointName(m_hDestination, &sName) == kMIDINoErr;
}

int CLumMidi::GetNumMidiOutDevices()
{
    return ::GetNumMidiOutDevices();
}

int CLumMidi::GetMidiOutDeviceName(int iIndex, char* pszName, int iSize)
{
    return ::GetMidiOutDeviceName(iIndex, pszName, iSize);
}

int CLumMidi::MidiOutIsHardware()
{
    MIDIEndpointKind kind = kMIDIEndpointSoftware;
    if (!MidiOutIsOpen() || MidiService::Get().GetEndpointKind(m_hDestination, &kind) != kMIDINoErr)
        return 0;
    return kind == kMIDIEndpointHardware ? 1 : 0;
}

int CLumMidi::SetMidiOutPacing(uint32_t uBytesPerSecond)
{
    if (!MidiOutIsOpen())
        return 0;
    return MidiService::Get().SetPortPacing(m_hOutPort, uBytesPerSecond) == kMIDINoErr ? 1 : 0;
}

std::string CLumMidi::MacGetEndpointDeviceName(MIDIEndpointRef hEndpoint)
{
    return ::MacGetEndpointDeviceName(hEndpoint);
}

void CLumMidi::MacNotifyProc(const MIDINotification* pMessage, void* pRefCon)
{
    CLumMidi* pThis = static_cast<CLumMidi*>(pRefCon);
    if (!pThis || !pMessage)
        return;
    if (pMessage->messageID == kMIDIMsgIOError)
    {
        // The client's one input port has one source, so the break is MIDI IN's.
        const auto* pError = reinterpret_cast<const MIDIIOErrorNotification*>(pMessage);
        pThis->DropSysEx();
        if (CLumMidiListener* pListener = pThis->m_pListener.load())
            pListener->OnLumMidiInBroken(pThis, pError->errorCode);
        return;
    }
    if (pMessage->messageID != kMIDIMsgSetupChanged)
        return;
    if (CLumMidiListener* pListener = pThis->m_pListener.load())
        pListener->OnLumMidiNotification(pThis, 0, 0);
}

int GetNumMidiInDevices()
{
    return MidiService::Get().GetNumberOfSources();
}

int GetMidiInDeviceName(int iIndex, char* pszName, int iSize)
{
    return GetEndpointDisplayName(MidiService::Get().GetSource(iIndex), pszName, iSize);
}

int GetNumMidiOutDevices()
{
    return MidiService::Get().GetNumberOfDestinations();
}

int GetMidiOutDeviceName(int iIndex, char* pszName, int iSize)
{
    return GetEndpointDisplayName(MidiService::Get().GetDestination(iIndex), pszName, iSize);
}

namespace
{
std::string GetEndpointAddress(MIDIEndpointRef hEndpoint)
{
    std::string sAddress;
    if (!hEndpoint || MidiService::Get().GetEndpointAddress(hEndpoint, &sAddress) != kMIDINoErr)
        sAddress.clear();
    return sAddress;
}
} // namespace

std::string GetMidiInDeviceAddress(int iIndex)
{
    return GetEndpointAddress(MidiService::Get().GetSource(iIndex));
}

std::string GetMidiOutDeviceAddress(int iIndex)
{
    return GetEndpointAddress(MidiService::Get().GetDestination(iIndex));
}

std::string MacGetEndpointDeviceName(MIDIEndpointRef hEndpoint)
{
    // An endpoint without a device (a virtual one) has an empty device name.
    std::string sDevice;
    if (MidiService::Get().GetEndpointDeviceName(hEndpoint, &sDevice) != kMIDINoErr)
        sDevice.clear();
    return sDevice;
}
