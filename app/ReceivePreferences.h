#pragma once

#include <string>

// The receive window's choices as the per-user store keeps them. What is read is clamped
// to its range; nothing stored gives the defaults: one message, no idle end (2 seconds
// when it is turned on), no request.
struct tagReceivePreferences
{
    int bAllMessages = 0;
    int bIdleStop = 0;
    int iIdleSeconds = 2;
    std::string sRequestHex;

    static constexpr int sm_iMaxIdleSeconds = 3600;

    static tagReceivePreferences Read();
    // 1 when stored. A request whose text does not fit the store is not remembered.
    int Write() const;
};
