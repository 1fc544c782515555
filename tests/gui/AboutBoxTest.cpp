// The window's About entry: reachable without a menu bar, and it names the version.

#include "gui/AboutBox.hpp"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(AboutBoxTest, RightClickAndF1ShowTheVersion) {
    QWidget window;
    QAction* action = AboutBox::attach(window);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(window.actions().contains(action));
    EXPECT_EQ(window.contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(action->text(), QStringLiteral("About Detector Updater"));

    const QString text = AboutBox::text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Detector Updater " DETECTOR_PROJECT_VERSION)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("speed-camera database"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Licence: MIT."))) << text.toStdString();
}

} // namespace
