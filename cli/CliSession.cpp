#include "cli/CliSession.h"

#include "app/Preference.h"
#include "app/PreferenceKeys.h"
#include "cli/CliText.h"
#include "midi/LumMidi.h"
#include "platform/ui/InterruptSignal.h"

#include <cstdio>
#include <unistd.h>

namespace
{
// The session Ctrl+C goes to; the handler is installed once per process.
CCliSession* sg_pInterrupted = nullptr;
bool sg_bHandlerInstalled = false;

void OnProcessInterrupt(int iSignal, void*)
{
    if (sg_pInterrupted)
        CCliSession::Interrupt(*sg_pInterrupted, iSignal);
}

std::string RememberedDevice(const char* pszKey)
{
    cPreference cPref;
    cPref.SetAppName(PreferenceKeys::kPreferenceApp);
    char szName[cPreference::sm_nStringCapacity] = "";
    cPref.ReadString(pszKey, szName, "");
    return szName;
}
} // namespace

CCliSession::CCliSession(const char* pszCommand)
    : m_sCommand(pszCommand), m_bStarted(false), m_bTerminal(isatty(STDERR_FILENO) != 0),
      m_nProgressWidth(0), m_iInterruptSignal(0)
{
}

CCliSession::~CCliSession()
{
    if (sg_pInterrupted == this)
        sg_pInterrupted = nullptr;
    if (!m_bStarted)
        return;
    // In the application's order: no MIDI callback posts once the MIDI manager is gone.
    m_midiManager.Destroy();
    m_messageManager.DeleteListener(this);
    m_messageManager.Destroy();
}

int CCliSession::Start()
{
    if (!sg_bHandlerInstalled)
        sg_bHandlerInstalled = InstallInterruptHandler(&OnProcessInterrupt, nullptr) == noErr;
    sg_pInterrupted = this;
    m_midiManager.Attach(&m_messageManager, nullptr, nullptr);
    if (!m_messageManager.Create() || !m_midiManager.Create())
    {
        Fail("", CliText("CliNoMidi"));
        return 0;
    }
    m_messageManager.AddListener(this);
    m_bStarted = true;
    return 1;
}

void CCliSession::Interrupt(CCliSession& session, int iSignal)
{
    if (!session.m_iInterruptSignal)
        session.m_iInterruptSignal = iSignal;
    session.m_midiManager.TransmitCancel();
}

std::string CCliSession::FindDevice(const std::string& sDevice, bool bInput)
{
    const int nCount = bInput ? GetNumMidiInDevices() : GetNumMidiOutDevices();
    char szName[256];
    for (int i = 0; i < nCount; ++i)
    {
        szName[0] = '\0';
        bInput ? GetMidiInDeviceName(i, szName, sizeof(szName))
               : GetMidiOutDeviceName(i, szName, sizeof(szName));
        if (sDevice == szName)
            return szName;
    }
    // Names come first: a device may well be called "1:0".
    for (int i = 0; i < nCount; ++i)
    {
        const std::string sAddress =
            bInput ? GetMidiInDeviceAddress(i) : GetMidiOutDeviceAddress(i);
        if (!sAddress.empty() && sAddress == sDevice)
        {
            szName[0] = '\0';
            bInput ? GetMidiInDeviceName(i, szName, sizeof(szName))
                   : GetMidiOutDeviceName(i, szName, sizeof(szName));
            return szName;
        }
    }
    return std::string();
}

int CCliSession::OpenInput(const std::string& sDevice)
{
    return Open(sDevice, true);
}

int CCliSession::OpenOutput(const std::string& sDevice)
{
    return Open(sDevice, false);
}

int CCliSession::Open(const std::string& sDevice, bool bInput)
{
    std::string sAsked = sDevice;
    if (sAsked.empty())
        sAsked = RememberedDevice(bInput ? PreferenceKeys::kMidiInDevice
                                         : PreferenceKeys::kMidiOutDevice);
    if (sAsked.empty())
    {
        Fail("", CliText(bInput ? "CliNoInputChosen" : "CliNoOutputChosen"));
        return 0;
    }
    const std::string sName = FindDevice(sAsked, bInput);
    if (sName.empty())
    {
        Fail(sAsked, CliText(bInput ? "CliInputNotFound" : "CliOutputNotFound"));
        return 0;
    }
    const int bOpened = bInput ? m_midiManager.MidiInOpenByName(sName.c_str())
                               : m_midiManager.MidiOutOpenByName(sName.c_str());
    if (!bOpened)
    {
        Fail(sName, CliText("CliDeviceNotOpened"));
        return 0;
    }
    (bInput ? m_sInputName : m_sOutputName) = sName;
    return 1;
}

void CCliSession::Fail(const std::string& sWhat, const std::string& sWhy)
{
    Progress(std::string());
    if (sWhat.empty())
        fprintf(stderr, "quillmark %s: %s\n", m_sCommand.c_str(), sWhy.c_str());
    else
        fprintf(stderr, "quillmark %s: %s: %s\n", m_sCommand.c_str(), sWhat.c_str(), sWhy.c_str());
    fflush(stderr);
}

void CCliSession::FailUsage(const std::string& sWhat, const std::string& sWhy)
{
    Fail(sWhat, sWhy + " " + CliText("CliTryHelp", {"quillmark " + m_sCommand + " --help"}));
}

void CCliSession::Progress(const std::string& sLine)
{
    if (!m_bTerminal || (sLine.empty() && !m_nProgressWidth))
        return;
    // Written over the line before, which may have been longer.
    const size_t nPad = m_nProgressWidth > sLine.size() ? m_nProgressWidth - sLine.size() : 0;
    fprintf(stderr, "\r%s%*s", sLine.c_str(), int(nPad), "");
    if (sLine.empty())
        fputc('\r', stderr);
    fflush(stderr);
    m_nProgressWidth = sLine.size();
}

void CCliSession::Summary(const std::string& sLine)
{
    Progress(std::string());
    fprintf(stdout, "%s\n", sLine.c_str());
    fflush(stdout);
}

void CCliSession::Note(const std::string& sLine)
{
    Progress(std::string());
    fprintf(stderr, "%s\n", sLine.c_str());
    fflush(stderr);
}

bool CCliSession::WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit)
{
    return m_clock.WaitFor([&] { return m_iInterruptSignal != 0 || bDone(); }, limit) && bDone();
}

void CCliSession::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                    CMessageManagerListener* pSender)
{
    if (pSender == static_cast<CMessageManagerListener*>(&m_midiManager) && m_onMessage)
        m_onMessage(message);
}
