#pragma once

#include "WindowFixture.h"

#include "toolkit/Control.h"
#include "windows/MainWindow.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QStringList>

#include <memory>
#include <vector>

// The main window as the application opens it at start, its device pop-ups, and a MIDI
// Out device that is plugged in and out as an instrument would be: a virtual destination,
// or on the kernel's sequencer aseqdump, a client with one port that can be written to.
class MainWindowFixture : public WindowFixture
{
protected:
    void TearDown() override
    {
        UnplugAll();
        WindowFixture::TearDown();
    }

    QWidget* OpenMainWindow()
    {
        m_pApp->m_pMainWindow = new CMainWindow;
        EXPECT_EQ(m_pApp->m_pMainWindow->Create(nullptr), 1);
        m_pApp->m_pMainWindow->Show();
        m_pWindow = m_pApp->m_pMainWindow->GetWindowRef();
        return m_pWindow;
    }
    void CloseMainWindow()
    {
        m_pApp->m_pMainWindow->Destroy();
        m_pApp->m_pMainWindow = nullptr;
    }

    template <class T> T* ControlOf(int iID)
    {
        return qobject_cast<T*>(GetControlByID(m_pWindow, {FourCharCode("QMRK"), iID}));
    }
    QComboBox* MidiIn() { return ControlOf<QComboBox>(3); }
    QComboBox* MidiOut() { return ControlOf<QComboBox>(7); }
    QPushButton* ReceiveButton() { return ControlOf<QPushButton>(4); }
    QPushButton* TransmitButton() { return ControlOf<QPushButton>(8); }

    static QStringList Items(QComboBox* pPopup)
    {
        QStringList items;
        for (int i = 0; i < pPopup->count(); ++i)
            items << pPopup->itemText(i);
        return items;
    }

    QString PluggedName() const
    {
        return m_pVirtual ? QStringLiteral("Synth Co - Out")
                          : QStringLiteral("aseqdump - aseqdump");
    }
    void PlugIn()
    {
        if (m_pVirtual)
        {
            m_plugged.push_back(m_pVirtual->AddDestination("Synth Co", "Out"));
            return;
        }
        auto pDumper = std::make_unique<QProcess>();
        pDumper->start(QStringLiteral("aseqdump"), {});
        ASSERT_TRUE(pDumper->waitForStarted(3000)) << "aseqdump (alsa-utils) is needed";
        m_dumpers.push_back(std::move(pDumper));
    }
    void UnplugAll()
    {
        for (MIDIEndpointRef hPlugged : m_plugged)
            m_pVirtual->RemoveEndpoint(hPlugged);
        m_plugged.clear();
        m_dumpers.clear(); // ends aseqdump: its client goes away
    }
    int PluggedListed() { return int(Items(MidiOut()).count(PluggedName())); }

    QWidget* m_pWindow = nullptr;

private:
    std::vector<MIDIEndpointRef> m_plugged;
    std::vector<std::unique_ptr<QProcess>> m_dumpers;
};
