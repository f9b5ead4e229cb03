// SPDX-License-Identifier: Apache-2.0
#include "platform/user_message.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
MessageHandler& currentHandler()
{
    static MessageHandler handler;
    return handler;
}
}  // namespace

void ShowMessage(const QString& text, const QString& title, MessageIcon icon)
{
    const UserMessage message{title, text, icon};
    if (currentHandler()) {
        currentHandler()(message);
        return;
    }
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

}  // namespace platform
