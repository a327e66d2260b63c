#pragma once
// Hands every key press of the watched controls to a key-down handler, with the control
// and the key's virtual-key code; the control then handles the key as usual (an edit still
// edits its text).

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <functional>
#include <utility>

int VirtualKeyOf(const QKeyEvent& event);

class KeyDownFilter : public QObject {
public:
    using Handler = std::function<void(QObject* sender, int key)>;

    KeyDownFilter(QObject* parent, Handler handler) : QObject(parent), handler_(std::move(handler)) {}

    // Watches `control` for as long as both exist.
    void Watch(QObject* control) { control->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            handler_(watched, VirtualKeyOf(*static_cast<QKeyEvent*>(event)));
        return QObject::eventFilter(watched, event);
    }

private:
    Handler handler_;
};
