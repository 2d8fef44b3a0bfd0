#pragma once

#include "toolkit/Button.h"
#include "toolkit/StaticText.h"
#include "windows/ModalWindow.h"

#include <cstddef>
#include <vector>

class CHexRowModel;
class CSysExDump;
class CSysExMessageModel;
class QTableView;

// The messages of a dump: a list with number, manufacturer, device ID, length, first
// data bytes and checksum, the hex of the current message beneath it, and a summary.
// The selected messages can be saved as a new .syx file, and, where the owner can send,
// handed back to be sent: "Send Selected" ends the window with them, and the owner
// sends them (the transmit window, with its progress and Cancel).
class CMessageWindow : public CModalWindow
{
public:
    // The dump must outlive the window.
    CMessageWindow(const CSysExDump& dump, bool bCanSend);
    ~CMessageWindow() override;

    void OnCreate() override;
    bool OnClose() override;
    OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID) override;
    const char* GetWindowName() override;

    // The selected messages, in the order of the dump.
    std::vector<size_t> GetSelection() const;
    // What "Send Selected" chose; empty when the window was closed otherwise.
    const std::vector<size_t>& GetMessagesToSend() const { return m_anToSend; }

    // Writes the selected messages to a .syx file the user chooses; true when written.
    bool SaveSelected();

private:
    void ShowSummary();
    void SelectionChanged();

    const CSysExDump& m_dump;
    const bool m_bCanSend;
    cStaticText m_cSummaryText;
    cButton m_cSaveButton;
    cButton m_cSendButton;
    QTableView* m_pTable;
    CSysExMessageModel* m_pModel; // owned by the window's widget
    CHexRowModel* m_pHexModel;    // likewise
    std::vector<size_t> m_anToSend;
};
