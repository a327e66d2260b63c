#pragma once
// Runs a function on the events of the objects it is installed on, for the handlers of
// controls whose events Qt reports only to the control itself (key down in an edit, a
// mouse button released over a check box). The function returns whether it consumed the
// event. The hook is owned by its parent.

#include <QEvent>
#include <QObject>
#include <functional>

class EventHook final : public QObject {
public:
    using Function = std::function<bool(QObject* watched, QEvent* event)>;
    EventHook(QObject* parent, Function function) : QObject(parent), function_(std::move(function)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return function_(watched, event); }

private:
    Function function_;
};
