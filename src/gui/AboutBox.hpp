#pragma once
// The window's About entry: the name, the version and what the program does.

#include <QString>

class QAction;
class QWidget;

class AboutBox {
public:
    // Adds the About action to window: in its context menu (right click) and on F1. The action
    // belongs to window.
    static QAction* attach(QWidget& window);
    // The box's text in the installed language, with the version.
    static QString text();
    // Shows the box over parent until it is closed.
    static void show(QWidget* parent);
};
