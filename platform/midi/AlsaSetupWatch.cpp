#include "platform/midi/AlsaSetupWatch.h"

#include "platform/midi/AlsaEndpoints.h"

#include <algorithm>

namespace
{
using namespace std::chrono_literals;

// Announcements come in bursts (a client, then its ports, then their subscriptions):
// the setup is looked at once they have been quiet this long, or the burst this long.
constexpr auto kSettleTime = 300ms;
constexpr auto kLongestBurst = 2s;
} // namespace

AlsaSetupWatch::AlsaSetupWatch(const AlsaClient& client, const AlsaEndpoints& endpoints,
                               MidiWorker& worker, MIDIClientRef hClient,
                               MIDINotifyProc pNotifyProc, void* pRefCon)
    : m_client(client), m_endpoints(endpoints), m_worker(worker), m_hClient(hClient),
      m_pNotifyProc(pNotifyProc), m_pRefCon(pRefCon), m_sListing(endpoints.Listing(client))
{
}

void AlsaSetupWatch::OnAnnounce()
{
    MidiWorker::Clock::time_point now = MidiWorker::Clock::now();
    m_lastAnnounce = now;
    if (m_bCheckPending)
        return;
    m_bCheckPending = true;
    m_burstStart = now;
    m_worker.Post(m_hClient, now + kSettleTime, [this] { CheckSetup(); });
}

void AlsaSetupWatch::CheckSetup()
{
    MidiWorker::Clock::time_point now = MidiWorker::Clock::now();
    MidiWorker::Clock::time_point settled = m_lastAnnounce + kSettleTime;
    MidiWorker::Clock::time_point latest = m_burstStart + kLongestBurst;
    if (now < settled && now < latest)
    {
        m_worker.Post(m_hClient, std::min(settled, latest), [this] { CheckSetup(); });
        return;
    }
    m_bCheckPending = false;

    // Only a change of what can be listed is worth telling: our own clients, hidden ports
    // and subscriptions come and go without one.
    std::string sListing = m_endpoints.Listing(m_client);
    if (sListing == m_sListing)
        return;
    m_sListing = std::move(sListing);
    if (m_pNotifyProc)
    {
        MIDINotification message{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
        m_pNotifyProc(&message, m_pRefCon);
    }
}
