// The user-message sink: an OK-only message box. The container installs where the text goes
// (a dialog, a list in tests); by default it goes to a message box on Windows and to
// standard error elsewhere.
#pragma once

#include <functional>

#include "platform/Types.h"

#ifndef _WIN32
constexpr int32_t IDOK = 1;
#endif

using MessageSink = std::function<void(const CString& text)>;

// Shows the text and returns IDOK once it has been acknowledged. Safe from any thread.
int32_t AfxMessageBox(const CString& text);
// Installs a sink (an empty one restores standard error) and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
