#pragma once

#include "toolkit/Canvas.h"
#include "toolkit/Image.h"
#include "toolkit/StaticText.h"
#include "windows/ModelessWindow.h"

// The about box: the application icon and the version line. The application opens it
// on its About command and forgets it when the user closes it: with the close box, a
// click into it, Return, Enter or Escape.
class CAboutWindow : public CModelessWindow
{
public:
    CAboutWindow();
    ~CAboutWindow() override;

    void OnCreate() override;
    void OnDestroy() override;
    bool OnBeforeShow() override;
    bool OnShow() override;
    bool OnClose() override;
    OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID) override;
    OSStatus OnEvent(EventRef pEvent, uint32_t uiClass, uint32_t uiKind) override;
    const char* GetWindowName() override;

private:
    cCanvas m_cCanvas;
    cImage m_cIcon;
    cStaticText m_cVersionText;
};
