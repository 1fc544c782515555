#pragma once
// Walks the real window through its states on the demo detector and saves one PNG per state.

#include "gui/UpdaterSession.hpp"

#include <QImage>
#include <QString>
#include <QStringList>

class QWidget;

// The success run saves initial, searching, connected, selection, downloading, complete, the
// dialog's total line refusing a click, and, after "Update another detector", the next
// detector connected; the fail run (a read-back fault in the first image written) saves fail.
// Files are <dir>/<prefix>NN-<state>.png. Pictures are taken from the screen, so a window
// manager's frame is in them.
class ScreenshotTour {
public:
    ScreenshotTour(UpdaterSession& session, QString folder, QString prefix, bool failRun);

    // Runs the event loop until the run has ended. False when a state was never reached or a
    // file could not be written; error says which.
    bool run(QString& error);

    [[nodiscard]] const QStringList& written() const { return m_written; }

    // The screen's pixels under the windows' frames (title bars included when a window
    // manager draws them); the first window's own rendering where the screen cannot be read.
    static QImage onScreen(const QList<QWidget*>& windows);

private:
    void save(const QString& state, const QImage& image);
    void saveWindow(const QString& state);
    void onDialogShown();
    void startAnotherRun();
    // Lets the window manager and the event loop catch up before a picture.
    static void settle(int milliseconds);

    UpdaterSession& m_session;
    QString m_folder;
    QString m_prefix;
    bool m_failRun;
    bool m_downloadingSaved = false;
    bool m_finished = false;
    bool m_secondRun = false;
    QString m_error;
    QStringList m_written;
};
