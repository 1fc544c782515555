#include "gui/AboutBox.hpp"

#include "gui/Artwork.hpp"
#include "install/BuildVersion.hpp"

#include <QAction>
#include <QKeySequence>
#include <QMessageBox>
#include <QWidget>

QAction* AboutBox::attach(QWidget& window) {
    auto* action = new QAction(qtTrId("gui_about_action"), &window);
    action->setShortcut(QKeySequence::HelpContents);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &window, [&window] { show(&window); });
    window.addAction(action);
    // The window has no menu bar, so the entry lives in the right-click menu.
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
    return action;
}

QString AboutBox::text() {
    //: %1 is the version, e.g. "0.1.0 (git 81000df)"; %2 the licence's SPDX name, "MIT".
    return qtTrId("gui_about_text")
        .arg(QString::fromUtf8(BuildVersion::text()), QString::fromUtf8(BuildVersion::licence()));
}

void AboutBox::show(QWidget* parent) {
    QMessageBox box(parent);
    box.setWindowTitle(qtTrId("gui_about_action"));
    box.setIconPixmap(artwork::icon(QSize(96, 96)));
    box.setTextFormat(Qt::PlainText);
    box.setText(text());
    box.exec();
}
