// SPDX-License-Identifier: Apache-2.0
#pragma once
// tarvolin-report's developer output for the network lab: the window's
// captions as "==NAME==" blocks, and the tool windows opened from the menu
// and driven the way a user would, each printing its text as a block.
#include <QString>

class QWidget;

namespace app {

class Form1a;

void PrintBlock(const char* name, const QString& text);
void PrintEnd();
QString LabelText(const QWidget& window, const char* name);
// The main window's captions and report box, then "==END==".
void PrintWindowBlocks(const Form1a& window);

// Each returns when its modal window has been closed again.
// Packet passage: "PORT:OPTION", one press of "Отправить запрос", log after 3 s.
void RunPassageBlock(Form1a& window, const QString& argument);
// DNS SRV window: query NAME, print the listing.
void RunDnsSrvBlock(Form1a& window, const QString& name);
// Ping window: "TARGET:COUNT", until COUNT requests are logged.
void RunPingBlock(Form1a& window, const QString& argument);

}  // namespace app
