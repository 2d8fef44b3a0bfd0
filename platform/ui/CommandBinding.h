#pragma once

#include <cstdint>
#include <functional>

class QObject;

// Commands carried by widgets: a button, action or combo box in a .ui file holds a
// dynamic property "command" of four characters ("Abou", "Recv", "not!").

// The command of an object as a four-character code, or 0 when it has no "command"
// property of exactly four Latin-1 characters.
uint32_t GetCommandProperty(const QObject* pObject);

using CommandCallback = std::function<void(uint32_t uiCommandID)>;

// Connects every object from pRoot down (pRoot included) that has a command:
// QAbstractButton::clicked, QAction::triggered and QComboBox::activated call
// callback(command). The connections end when the sender or pRoot is destroyed.
// Returns the number of objects connected.
int ConnectCommands(QObject* pRoot, const CommandCallback& callback);
