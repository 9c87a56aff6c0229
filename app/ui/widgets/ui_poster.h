// UiPoster: carries the callbacks of core workers onto the user-interface thread. A callback
// made by Relay may be called on any thread; its handler then runs on the UI thread with the
// same arguments, as a queued call on the context object. The owner of a worker joins it before
// the context goes, so every call is posted while the context lives; calls still queued when the
// context is destroyed are dropped with it.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <utility>

class UiPoster {
public:
    explicit UiPoster(QObject* context) : context_(context) {}

    // Runs `call` on the UI thread, later.
    void Post(std::function<void()> call) const {
        QMetaObject::invokeMethod(context_, std::move(call), Qt::QueuedConnection);
    }

    // A callback for a core worker that hands its arguments to `handler` on the UI thread.
    template <class... Args, class Handler>
    std::function<void(Args...)> Relay(Handler handler) const {
        return [context = context_, handler = std::move(handler)](Args... args) {
            QMetaObject::invokeMethod(
                context, [handler, ... values = std::move(args)]() mutable { handler(std::move(values)...); },
                Qt::QueuedConnection);
        };
    }

private:
    QObject* context_;
};
