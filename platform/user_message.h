// SPDX-License-Identifier: Apache-2.0
#pragma once
// The one seam through which the program shows modal message boxes.
// Tests install a handler that records the messages instead of blocking.
#include <QString>
#include <functional>

namespace platform {

enum class MessageIcon { None, Information };

struct UserMessage {
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
};

using MessageHandler = std::function<void(const UserMessage&)>;

// Modal box with a single OK button. Title defaults to the program's title.
void ShowMessage(const QString& text, const QString& title = QStringLiteral("Tarvolin"),
                 MessageIcon icon = MessageIcon::None);

// Replace the handler (an empty handler restores the real message box).
// Returns the previous handler.
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace platform
