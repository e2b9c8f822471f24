// The workbook program's window: what it tells of files it cannot open.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include "platform/sheet/host/window.h"

namespace {

QString Data(const char* name) { return QString(SEWER_TEST_DATA) + "/sheet/" + name; }

TEST(WorkbookWindow, FilesThatCannotBeOpenedAreNamedInTheWindow) {
    sheet::LocalApplication app;
    sheet::host::WorkbookWindow window(app);
    app.Changed = [&window] { window.Sync(); };
    auto* notice = window.findChild<QLabel*>("notice");
    ASSERT_NE(notice, nullptr);
    app.Visible(true);
    EXPECT_FALSE(notice->isVisible());

    // Good files open beside the bad ones; each bad one is named with why.
    const QStringList problems =
        window.OpenFiles({Data("bad/bad_xml.xlsx"), Data("network_openpyxl.xlsx"), Data("no_such_file.xlsx")});
    EXPECT_EQ(problems.size(), 2);
    EXPECT_EQ(app.Workbooks().size(), 1u);
    EXPECT_EQ(window.findChild<QTabWidget*>()->count(), 1);
    EXPECT_TRUE(notice->isVisible());
    const QString text = notice->text();
    EXPECT_TRUE(text.contains("bad/bad_xml.xlsx") && text.contains("bad XML")) << text.toStdString();
    EXPECT_TRUE(text.contains("no_such_file.xlsx") && text.contains("Cannot open")) << text.toStdString();

    // The notice stays until it is dismissed.
    app.Activate(0, 1);
    EXPECT_TRUE(notice->isVisible());
    for (auto* button : window.findChildren<QToolButton*>()) {
        if (button->text() == "Dismiss") button->click();
    }
    EXPECT_FALSE(notice->isVisible());
    EXPECT_TRUE(window.OpenFiles({Data("types_openpyxl.xlsx")}).isEmpty());
    EXPECT_FALSE(notice->isVisible());
}

}  // namespace
