#include "windows/MessageWindow.h"

#include "file/LumFile.h"
#include "file/SysExDump.h"
#include "file/SysExDumpReport.h"
#include "toolkit/Alert.h"
#include "toolkit/Control.h"
#include "toolkit/DebugLog.h"
#include "toolkit/SaveDialog.h"
#include "toolkit/Utility.h"
#include "windows/HexRowModel.h"
#include "windows/SysExMessageModel.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QTableView>

#include <algorithm>
#include <cstdio>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");
constexpr uint32_t kCreator = FourCharCode("QMRK");
constexpr uint32_t kFileType = FourCharCode("SysX");
constexpr uint32_t kSaveCommand = FourCharCode("ssav");
constexpr uint32_t kSendCommand = FourCharCode("ssnd");
constexpr uint32_t kCloseCommand = FourCharCode("not!");
constexpr int kTable = 1;
constexpr int kHexView = 2;
constexpr int kSaveButton = 3;
constexpr int kSendButton = 4;
constexpr int kSummaryText = 6;

void CopyResourceString(char* pszDest, size_t nSize, const char* pszKey)
{
    snprintf(pszDest, nSize, "%s", GetResourceString(pszKey));
}
} // namespace

CMessageWindow::CMessageWindow(const CSysExDump& dump, bool bCanSend)
    : m_dump(dump), m_bCanSend(bCanSend), m_pTable(nullptr), m_pModel(nullptr), m_pHexModel(nullptr)
{
}

CMessageWindow::~CMessageWindow() = default;

void CMessageWindow::OnCreate()
{
    m_cSummaryText.SetControl(m_pWindow, kSignature, kSummaryText);
    m_cSaveButton.SetControl(m_pWindow, kSignature, kSaveButton);
    m_cSendButton.SetControl(m_pWindow, kSignature, kSendButton);
    m_cSendButton.SetVisible(m_bCanSend);
    m_pTable = qobject_cast<QTableView*>(GetControlByID(m_pWindow, {kSignature, kTable}));
    QListView* pHex = qobject_cast<QListView*>(GetControlByID(m_pWindow, {kSignature, kHexView}));
    if (!m_pTable || !pHex)
    {
        DebugPrintf("CMessageWindow::OnCreate : %s", "The layout lacks the list or the hex view.");
        return;
    }
    m_pModel = new CSysExMessageModel(m_dump.Index(), m_pTable);
    m_pTable->setModel(m_pModel);
    // Rows of one height, and no header that measures 132,000 rows.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);

    m_pHexModel = new CHexRowModel(pHex);
    pHex->setModel(m_pHexModel);
    pHex->setUniformItemSizes(true);
    pHex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    QObject::connect(m_pTable->selectionModel(), &QItemSelectionModel::selectionChanged, m_pTable,
                     [this] { SelectionChanged(); });
    QObject::connect(m_pTable->selectionModel(), &QItemSelectionModel::currentRowChanged, m_pTable,
                     [this](const QModelIndex& current)
                     {
                         if (!current.isValid())
                         {
                             m_pHexModel->SetBytes(nullptr, 0, 0);
                             return;
                         }
                         const CSysExDumpIndex& index = m_dump.Index();
                         const size_t nRow = size_t(current.row());
                         m_pHexModel->SetBytes(index.GetMessageBytes(nRow),
                                               index.GetMessage(nRow).nLength,
                                               index.GetMessage(nRow).nOffset);
                     });
    ShowSummary();
    SelectionChanged();
    if (m_pModel->rowCount() > 0)
        m_pTable->setCurrentIndex(m_pModel->index(0, 0));
}

bool CMessageWindow::OnClose()
{
    CloseModal();
    return false;
}

OSStatus CMessageWindow::EventFunc(EventRef pEvent, uint32_t, uint32_t uiCommandID)
{
    if (GetEventClass(pEvent) != kEventClassCommand)
        return eventNotHandledErr;
    if (uiCommandID == kSaveCommand)
    {
        SaveSelected();
        return noErr;
    }
    if (uiCommandID == kSendCommand)
    {
        if (m_bCanSend)
        {
            m_anToSend = GetSelection();
            if (!m_anToSend.empty())
                CloseModal();
        }
        return noErr;
    }
    if (uiCommandID == kCloseCommand)
    {
        CloseModal();
        return noErr;
    }
    return eventNotHandledErr;
}

const char* CMessageWindow::GetWindowName()
{
    return "MessageWindow";
}

std::vector<size_t> CMessageWindow::GetSelection() const
{
    std::vector<size_t> anRows;
    if (!m_pTable || !m_pTable->selectionModel())
        return anRows;
    for (const QModelIndex& row : m_pTable->selectionModel()->selectedRows())
        anRows.push_back(size_t(row.row()));
    std::sort(anRows.begin(), anRows.end());
    return anRows;
}

bool CMessageWindow::SaveSelected()
{
    const std::vector<size_t> anSelected = GetSelection();
    if (anSelected.empty())
        return false;

    char szTitle[256];
    char szDefaultName[256];
    CopyResourceString(szTitle, sizeof(szTitle), "Save Selected Messages");
    CopyResourceString(szDefaultName, sizeof(szDefaultName), "Selected.syx");
    CSaveDialog dialog;
    dialog.m_ulCreator = kCreator;
    dialog.m_ulType = kFileType;
    FSSpec spec;
    if (!dialog.Execute(long(FourCharCode("QMRK")), szTitle, szDefaultName, &spec, nullptr))
        return false;

    const std::vector<unsigned char> bytes = m_dump.Join(anSelected);
    CLumFile file;
    if (!file.MacWriteOpen(&spec, 2, kCreator, kFileType))
    {
        DebugPrintf("CMessageWindow::SaveSelected : %s", "Failed to open file.");
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        return false;
    }
    const long lWritten = file.Write(bytes.data(), long(bytes.size()));
    if (file.Close() != 1 || lWritten != long(bytes.size()))
    {
        DebugPrintf("CMessageWindow::SaveSelected : %s", "Failed to write file.");
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        return false;
    }
    return true;
}

void CMessageWindow::ShowSummary()
{
    const CSysExDumpIndex& index = m_dump.Index();
    const CSysExDumpReport report(index);
    char szText[512];
    int nUsed = snprintf(szText, sizeof(szText), GetResourceString("MessageSummary"),
                         int(index.GetMessageCount()), int(index.GetSize()),
                         int(report.GetCount(CSysExChecksum::kGood)),
                         int(report.GetCount(CSysExChecksum::kBad)));
    if (!index.GetGaps().empty() && nUsed >= 0 && size_t(nUsed) < sizeof(szText))
    {
        size_t nOutside = 0;
        for (const tagSysExSpan& gap : index.GetGaps())
            nOutside += gap.nLength;
        snprintf(szText + nUsed, sizeof(szText) - size_t(nUsed),
                 GetResourceString("MessageSummaryOutside"), int(nOutside),
                 unsigned(index.GetGaps().front().nOffset));
    }
    m_cSummaryText.Set(szText);
}

void CMessageWindow::SelectionChanged()
{
    const bool bAny =
        m_pTable && m_pTable->selectionModel() && m_pTable->selectionModel()->hasSelection();
    m_cSaveButton.SetEnabled(bAny);
    m_cSendButton.SetEnabled(bAny);
}
