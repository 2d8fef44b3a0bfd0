#pragma once

#include "app/MessageManager.h"
#include "midi/LumMidi.h"
#include "transfer/SysExDumpRecorder.h"
#include "transfer/TransmitClock.h"
#include "transfer/TransmitSettings.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CLumFile;
class CLumSemaphore;
class CSysExBlockPlan;
class CSysExFileSequence;
class CTransmitClock;
class CTransmitContent;
class CTransmitSchedule;
struct OpaqueEventLoopTimerRef;

// Where a dump recording stands (CMidiManager::GetDumpStatus).
struct tagDumpStatus
{
    tagDumpCounts counts;
    int bRecording = 0; // armed and not ended
    int bStarted = 0;   // a first byte has come
    int iElapsedMs = 0; // from the first byte to now, or to the end
    int iEnd = -1;      // how the last recording ended: kDumpEnd*, -1 while none ended
};

enum
{
    kDumpEndStopped = 0, // StopReceive
    kDumpEndIdle = 1,    // the silence after the last byte lasted the idle time
    kDumpEndDataLost = 2,   // the input dropped bytes; the message they cut is left out
    kDumpEndSourceGone = 3, // MIDI IN went away
};

// The MIDI engine of the application: opens MIDI IN and MIDI OUT by display name,
// collects one received SysEx message (F0 through F7) and sends files in blocks of at
// most 256 bytes that end at message boundaries, paced as the transmit settings and the
// kind of the output port ask. Everything it has to report travels as messages through the
// message manager it is attached to, with the manager itself as sender; a manager attached
// to none reports nothing.
//
// Threads: every operation runs on the main thread. The receive hook runs on the MIDI
// input thread, the send-completion hook and the setup-change hook on MIDI service
// threads; Destroy stops all three before it returns.
class CMidiManager : public CLumMidiListener, public CMessageManagerListener
{
public:
    CMidiManager();
    virtual ~CMidiManager();

    CMidiManager(const CMidiManager&) = delete;
    CMidiManager& operator=(const CMidiManager&) = delete;

    int Create();  // 1 done; 0 failed (nothing is kept) or already created
    int Destroy(); // 1 done; 0 when not created

    // Where reports go (null: nowhere) and where the names of opened devices are
    // remembered: 256-byte fields such as the application's m_szMidiInDevice and
    // m_szMidiOutDevice, or null to remember nothing. Before Create; not owned.
    void Attach(CMessageManager* pMessageManager, char* pszRememberedIn, char* pszRememberedOut);

    // Closes the direction, then opens the device whose display name equals pszName byte
    // for byte. A null or empty name leaves the direction closed and returns 1. On success
    // the name is remembered in the attached field.
    int MidiInOpenByName(const char* pszName);
    int MidiOutOpenByName(const char* pszName);
    void MidiInClose();
    void MidiOutClose();

    // Arms the reception of one SysEx message and forgets the previous one. Safe while
    // MIDI input arrives. 1 armed, 0 not created.
    int ReceiveSysExData();
    // A byte of the received message; 0 outside [0, m_nReceivedSysExSize).
    unsigned char GetReceivedSysExData(int iIndex);

    // --- Recording a whole dump (MidiManagerDump.cpp) ---
    // Arms the recording of every SysEx message that arrives (CSysExDumpRecorder) until
    // StopReceive, or, with iIdleMs > 0, until that long a silence after the last byte of
    // any kind, counted only once the first byte has come. Forgets what an earlier
    // reception collected and disarms the one-message reception. The idle end and the
    // progress messages come from a timer on the calling thread's event loop:
    // LM_DUMP_RECEIVING while bytes come (and each second while it runs), then LM_DUMP_END
    // once. 1 armed; 0 not created, or no event loop.
    int ReceiveSysExDump(int iIdleMs);
    // Ends a running dump recording (LM_DUMP_END, kDumpEndStopped; an open message is left
    // out) or disarms a one-message reception (nothing posted). 1 when one was running.
    int StopReceive();
    tagDumpStatus GetDumpStatus();
    // The kept messages of the dump, back to back, in pieces; fnPiece returns false to
    // stop. Safe while the recording runs: what it hands over is complete.
    bool ReadReceivedDump(const std::function<bool(const unsigned char*, size_t)>& fnPiece);
    // Writes the kept messages to an open file; 1 when every byte was written.
    int WriteReceivedDump(CLumFile* pFile);
    // The clock the idle end keeps time with (only Now is used); null restores the
    // event-loop clock. Not while a recording runs. The clock is not owned.
    void SetReceiveClock(CTransmitClock* pClock);
    // Sends a request (one or more SysEx messages, CSysExRequest::Check) to MIDI OUT at
    // the output's pace, waiting for it to go out while serving events. Arm first: the
    // reply may come at once. 1 sent; 0 refused (not created, no output, a transmission
    // running, not a valid request) or failed, logged.
    int SendSysExRequest(const std::vector<unsigned char>& request);

    // How often the dump's timer looks at what came.
    static constexpr int sm_iDumpTickMs = 50;

    // Sends the whole of an open file, from its current position, in the blocks of
    // CSysExBlockPlan with one block in flight, waiting for each block's completion and
    // for its place in the schedule (CTransmitSchedule) while serving events. A Standard
    // MIDI File sends its SysEx messages (CTransmitContent), spaced by the file's timing or
    // by the pause between messages as the settings' iMidiTiming says. 1 when the
    // transmission ran to its end or was cancelled; 0 when it could not start (logged, no
    // message) or failed on the way (LM_TRANSMIT_ERROR).
    int TransmitSingleSysEx(CLumFile* pFile);
    // Sends the files of the sequence one after the other until it has no more, with the
    // pause between files (clamped like the pause between messages) before each file but
    // the first, counted from the file's LM_TRANSMIT_START. A cancel or a failure ends it.
    // 1 when every file handed out ran to its end or a cancel ended it, 0 otherwise.
    int TransmitSysExFiles(CSysExFileSequence& files, int iFilePauseMs);
    // Sends the bytes (whole messages, back to back) as TransmitSingleSysEx sends a file's:
    // the chosen messages of a dump. The bytes stay the caller's.
    int TransmitSysExData(const unsigned char* pData, int nSize);
    // Stops a running transmission after its current block, or during a pause. Always 0.
    int TransmitCancel();

    // Pacing of the transmissions that follow; stored clamped.
    void SetTransmitSettings(const tagTransmitSettings& settings);
    tagTransmitSettings GetTransmitSettings() const { return m_transmitSettings; }
    // 1 when the open MIDI OUT is a hardware port, 0 for a software port or none.
    int MidiOutIsHardware();
    // What the running transmission still needs by its schedule, in ms; 0 when none runs.
    int GetTransmitRemainingMs();
    // The clock transmissions keep time and wait with; null restores the event-loop clock.
    // Not while a transmission runs. The clock is not owned.
    void SetTransmitClock(CTransmitClock* pClock);

    void OnLumMidiInReceive(CLumMidi* pMidi, int iLength, unsigned char* pData) override;
    void OnLumMidiInReceiving(CLumMidi* pMidi, int iLength, unsigned char* pData) override;
    void OnLumMidiOutSysExSendComplete(CLumMidi* pMidi, int iLength) override;
    void OnLumMidiOutSysExSendFailed(CLumMidi* pMidi, int iLength) override;
    void OnLumMidiInBroken(CLumMidi* pMidi, int iReason) override;
    void OnLumMidiNotification(CLumMidi* pMidi, int iParam1, int iParam2) override;

    // Bytes of the message being received, F0 and F7 included. Written by the MIDI input
    // thread; read it after LM_RECEIVE_COMPLETE to size the copy.
    std::atomic<int> m_nReceivedSysExSize;

    // Longest wait for one block beyond its time at its pace (wire speed when unpaced).
    static constexpr uint32_t sm_uiChunkGraceMs = 2000;

private:
    void ReleaseObjects();
    static void OnDumpTimer(OpaqueEventLoopTimerRef* pTimer, void* pUserData);
    // Notes what came since the last look; true when a byte came.
    bool LookAtDump(uint64_t ullSeen, CTransmitClock::TimePoint now);
    void CheckDump();
    void EndDump(int iEnd);
    void RemoveDumpTimer();
    int DumpElapsedMs(CTransmitClock::TimePoint now) const;
    void ResetReceive();
    void AppendReceived(unsigned char ucByte);
    void Post(int32_t iMessage, int32_t iParam1, int32_t iParam2, int32_t iParam3, int32_t iParam4);
    enum class TransmitEnd
    {
        kFailed,
        kCompleted,
        kCancelled,
    };
    // Why a transmission cannot start, or null.
    const char* RefusalToTransmit() const;
    TransmitEnd Transmit(CLumFile* pFile, int iLeadInMs);
    // With pFileTiming, the messages go at the times of the MIDI file they came from.
    TransmitEnd TransmitBytes(const unsigned char* pData, int nTotal, int iLeadInMs,
                              const CTransmitContent* pFileTiming = nullptr);
    void SetWaitingClock(CTransmitClock* pClock);
    void LetOwedCompletionsIn();
    // Hands the block to MIDI OUT and waits for its completion; false when it was refused
    // or did not complete in time.
    bool SendBlock(const unsigned char* pData, int nLength, uint32_t uBytesPerSecond);
    void ClearChunkDone();
    void EndChunk(int iHow);
    bool IsChunkDone();
    bool AreOwedCompletionsIn();

    CLumMidi* m_pMidiIn;
    CLumMidi* m_pMidiOut;
    int m_bCreated;
    CMessageManager* m_pMessageManager;
    char* m_pszRememberedIn;
    char* m_pszRememberedOut;
    char m_szLastError[256];

    // Transmission, main thread only except where noted.
    int m_nTransmitTotal;
    int m_nTransmitBytesSent;
    int m_bTransmitCancel;
    int m_bTransmitting;
    int m_nTransmitChunkCount;
    tagTransmitSettings m_transmitSettings;
    std::unique_ptr<CTransmitClock> m_pEventLoopClock;
    CTransmitClock* m_pClock; // m_pEventLoopClock's or one put in
    // The running transmission's plan and schedule, and the index of its next block.
    const CSysExBlockPlan* m_pPlan;
    CTransmitSchedule* m_pSchedule;
    size_t m_nNextBlock;
    CLumSemaphore* m_pSemaphore;
    // Guarded by m_pSemaphore: shared with the completion thread.
    enum
    {
        kChunkSent = 1, // the block's completion came
        kChunkLost = 2, // MIDI OUT went away before the block's bytes had had their time
    };
    int m_bChunkDone; // 0 while the block is on its way, else kChunk*
    int m_nOwedCompletions;          // completions of abandoned blocks that may still come
    CTransmitClock* m_pWaitingClock; // woken by completions while a transmission runs
    unsigned char m_aucChunkBuffer[256];

    // Reception, guarded by m_receiveMutex: written by the MIDI input thread while armed,
    // reset by the main thread.
    std::mutex m_receiveMutex;
    int m_bReceiveArmed;
    int m_bInSysEx;
    int m_nProgressCount;
    uint32_t m_uiStartTime;
    // The message in 64 KiB pieces: a long dump grows without copying what it has.
    std::vector<std::unique_ptr<unsigned char[]>> m_apReceivedData;
    // The dump being recorded, also guarded by m_receiveMutex.
    int m_bDumpArmed;
    CSysExDumpRecorder m_dump;
    int m_iDumpBreak; // kDumpEnd* of a break in the input that ended the recording, or -1

    // The dump's timekeeping, main thread only.
    OpaqueEventLoopTimerRef* m_pDumpTimer;
    CTransmitClock* m_pReceiveClock;
    int m_iDumpIdleMs;
    int m_bDumpRecording;
    int m_bDumpStarted;
    int m_iDumpEnd;
    uint64_t m_ullDumpSeen;
    int m_iDumpPostedSecond;
    CTransmitClock::TimePoint m_dumpFirstByte;
    CTransmitClock::TimePoint m_dumpLastByte;
    CTransmitClock::TimePoint m_dumpEndTime;
};
