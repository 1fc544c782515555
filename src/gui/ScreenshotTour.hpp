#pragma once
// Walks the real window through its states on the demo detector and saves one PNG per state.

#include "gui/UpdaterSession.hpp"

#include <QImage>
#include <QString>
#include <QStringList>

class QWidget;

// The success run saves initial, searching, connected, selection, downloading and complete;
// the fail run (a read-back fault in the first image written) saves fail. Files are
// <dir>/<prefix>NN-<state>.png.
class ScreenshotTour {
public:
    ScreenshotTour(UpdaterSession& session, QString folder, QString prefix, bool failRun);

    // Runs the event loop until the run has ended. False when a state was never reached or a
    // file could not be written; error says which.
    bool run(QString& error);

    [[nodiscard]] const QStringList& written() const { return m_written; }

    // A window as it looks on screen: a title bar with its title over its contents.
    static QImage framed(QWidget& window);

private:
    void save(const QString& state, const QImage& image);
    void saveWindow(const QString& state);
    void onDialogShown();

    UpdaterSession& m_session;
    QString m_folder;
    QString m_prefix;
    bool m_failRun;
    bool m_downloadingSaved = false;
    bool m_finished = false;
    QString m_error;
    QStringList m_written;
};
