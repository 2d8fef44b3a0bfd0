#include "platform/ui/CommandBinding.h"

#include "platform/ui/MacEvent.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QVariant>

uint32_t GetCommandProperty(const QObject* pObject)
{
    if (!pObject)
        return 0;
    const QString command = pObject->property("command").toString();
    if (command.size() != 4)
        return 0;
    char szCode[5] = {};
    for (int i = 0; i < 4; ++i)
    {
        const char16_t ch = command[i].unicode();
        if (ch == 0 || ch > 0xFF)
            return 0;
        szCode[i] = char(ch);
    }
    return FourCharCode(szCode);
}

int ConnectCommands(QObject* pRoot, const CommandCallback& callback)
{
    if (!pRoot)
        return 0;
    QList<QObject*> objects = pRoot->findChildren<QObject*>();
    objects.prepend(pRoot);

    int iConnected = 0;
    for (QObject* pObject : objects)
    {
        const uint32_t uiCommand = GetCommandProperty(pObject);
        if (!uiCommand)
            continue;
        auto send = [callback, uiCommand]() { callback(uiCommand); };
        if (auto* pButton = qobject_cast<QAbstractButton*>(pObject))
            QObject::connect(pButton, &QAbstractButton::clicked, pRoot, send);
        else if (auto* pAction = qobject_cast<QAction*>(pObject))
            QObject::connect(pAction, &QAction::triggered, pRoot, send);
        else if (auto* pCombo = qobject_cast<QComboBox*>(pObject))
            QObject::connect(pCombo, &QComboBox::activated, pRoot, send);
        else
            continue;
        ++iConnected;
    }
    return iConnected;
}
