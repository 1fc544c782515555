#pragma once
// The application delegate: its launch and termination hooks have nothing to do.

#include <QObject>

class AppDelegate final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

public slots:
    // Called once the window is up; all set-up happens in the window's viewDidLoad.
    void applicationDidFinishLaunching();
    // Called as the event loop ends; quitting is handled by the window's close handling.
    void applicationWillTerminate();
};
