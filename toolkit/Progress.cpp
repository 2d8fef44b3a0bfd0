#include "toolkit/Progress.h"

cProgress::cProgress() : m_pWindow(nullptr), m_pControl(nullptr), m_bAttached(0) {}

cProgress::cProgress(WindowRef pWindow, uint32_t nSignature, int nID) : cProgress()
{
    SetControl(pWindow, nSignature, nID);
}

void cProgress::SetControl(WindowRef pWindow, uint32_t nSignature, int nID)
{
    m_pWindow = pWindow;
    m_tControlID.signature = nSignature;
    m_tControlID.id = nID;
    m_pControl = GetControlByID(pWindow, m_tControlID);
    m_bAttached = 1;
}
