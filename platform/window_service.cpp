// SPDX-License-Identifier: Apache-2.0
#include "platform/window_service.h"

#include "platform/blocking_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

const char* const kServedProperty = "tarvolinServedWhileBusy";
bool g_serving = false;

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool IsServedWhileBusy(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget->property(kServedProperty).toBool())
            return true;
        if (widget->isWindow())
            break;
    }
    return false;
}

// Installed on the application only while the hook handles events.
class BusyInputFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;  // window-system objects pass; their widgets are filtered
        if (IsUserInput(event->type()))
            return !IsServedWhileBusy(widget);
        if (event->type() == QEvent::Close && widget->isWindow() && event->spontaneous()) {
            event->ignore();
            QPointer<QWidget> window(widget);
            RunAfterWindowService(widget, [window] {
                if (window)
                    window->close();
            });
            return true;
        }
        return false;
    }
};

void ServeWindows()
{
    if (!QCoreApplication::instance())
        return;
    static BusyInputFilter filter;
    g_serving = true;
    QCoreApplication::instance()->installEventFilter(&filter);
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    QCoreApplication::instance()->removeEventFilter(&filter);
    g_serving = false;
}

}  // namespace

void InstallWindowService()
{
    SetWaitHook(&ServeWindows);
}

void RemoveWindowService()
{
    SetWaitHook({});
}

bool InWindowService()
{
    return g_serving;
}

void ServeWhileBusy(QWidget* widget)
{
    widget->setProperty(kServedProperty, true);
}

void RunAfterWindowService(QObject* context, std::function<void()> call)
{
    QMetaObject::invokeMethod(
        context,
        [context, call = std::move(call)]() mutable {
            if (g_serving)
                RunAfterWindowService(context, std::move(call));  // still inside a step: next round
            else
                call();
        },
        Qt::QueuedConnection);
}

bool ShowAndWaitForExposure(QWidget* window, int timeoutMs)
{
    window->show();
    QElapsedTimer clock;
    clock.start();
    const auto exposed = [window] { return window->windowHandle() && window->windowHandle()->isExposed(); };
    QTimer wake;  // bounds each wait for events, so the time limit holds
    wake.start(10);
    while (!exposed() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                        QEventLoop::WaitForMoreEvents);
    if (!exposed())
        return false;
    window->repaint();
    return true;
}

}  // namespace platform
