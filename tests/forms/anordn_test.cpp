#include "../gui_helpers.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Main.h"
#include "buttons.h"
#include "chart.h"
#include "mdi_frame.h"
#include "program.h"
#include "spin_edit.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

class SettingsDialog : public testing::Test
{
protected:
    void SetUp() override { program.Ready(); }

    // Runs the settings command with `inDialog` done while the dialog shows.
    void settingsCommand(const std::function<void()> &inDialog)
    {
        WhenShown(dialog, inDialog);
        program.main->Anordnung1Click(program.main->Anordnung1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ProgramUnderTest program;
    Tanordnung *dialog = program.settings;
};

} // namespace

// What the dialog declares, before anyone touched it.
TEST_F(SettingsDialog, DeclaredControlsAndFirstOkWithoutChanges)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(dialog->size(), QSize(396, 208));
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    const struct
    {
        QWidget *widget;
        QRect bounds;
    } layout[] = {
        {dialog->GroupBox2, {8, 8, 185, 154}},    {dialog->GroupBox3, {199, 8, 189, 64}},
        {dialog->GroupBox1, {199, 78, 189, 84}},  {dialog->rbKreis, {63, 29, 113, 17}},
        {dialog->rbBalkenHor, {63, 67, 113, 17}}, {dialog->rbBalkenVer, {63, 105, 113, 17}},
        {dialog->rb3D, {23, 28, 42, 17}},         {dialog->rb2D, {71, 28, 46, 17}},
        {dialog->SpinEdit1, {12, 23, 41, 22}},    {dialog->SpinEdit2, {12, 51, 41, 22}},
        {dialog->OKButton, {216, 172, 77, 26}},   {dialog->BitBtn1, {299, 172, 89, 26}},
        {dialog->Image1, {13, 23, 32, 32}},       {dialog->Image2, {13, 61, 32, 32}},
        {dialog->Image3, {13, 99, 32, 32}},
    };
    for (const auto &row : layout)
        EXPECT_EQ(row.widget->geometry(), row.bounds) << row.widget->metaObject()->className();
    EXPECT_EQ(dialog->GroupBox2->title(), QStringLiteral("Diagrammtyp"));
    EXPECT_EQ(dialog->GroupBox3->title(), QStringLiteral("Dimension"));
    EXPECT_EQ(dialog->GroupBox1->title(), QStringLiteral("Anordnung"));
    EXPECT_TRUE(dialog->rbKreis->isChecked());
    EXPECT_TRUE(dialog->rb3D->isChecked());
    EXPECT_EQ(dialog->SpinEdit1->text(), QStringLiteral("2"));
    EXPECT_EQ(dialog->SpinEdit2->text(), QStringLiteral("3"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("Zeile(n)"));
    EXPECT_EQ(dialog->Label2->text(), QStringLiteral("Spalte(n)"));

    // OK first, columns before rows.
    QWidgetList order;
    QWidget *widget = dialog->OKButton;
    const QWidgetList controls = {dialog->OKButton,    dialog->BitBtn1,     dialog->SpinEdit2,
                                  dialog->SpinEdit1,   dialog->rbBalkenHor, dialog->rbKreis,
                                  dialog->rbBalkenVer, dialog->rb2D,        dialog->rb3D};
    do {
        if (controls.contains(widget))
            order << widget;
        widget = widget->nextInFocusChain();
    } while (widget != dialog->OKButton);
    EXPECT_EQ(order, controls);

    EXPECT_EQ(Settings.ChartKind, 0) << "before the first OK";
    settingsCommand([&] {
        // Pictures are read and captions measured when the dialog is first shown.
        for (QLabel *image : {dialog->Image1, dialog->Image2, dialog->Image3})
            EXPECT_FALSE(image->pixmap().isNull());
        for (QLabel *caption : {dialog->Label1, dialog->Label2})
            EXPECT_EQ(caption->size(), caption->sizeHint()) << caption->text().toStdString();
        dialog->OKButton->click();
    });
    EXPECT_EQ(Settings.TileRows, 2);
    EXPECT_EQ(Settings.TileCols, 3);
    EXPECT_TRUE(Settings.Chart3D);
    EXPECT_EQ(Settings.ChartKind, 1);
}

TEST_F(SettingsDialog, AbbrechenStoresNothingButTheControlsKeepTheirState)
{
    Settings.ChartKind = 1;
    settingsCommand([&] {
        dialog->rbBalkenVer->setChecked(true);
        dialog->SpinEdit1->setText(QStringLiteral("4"));
        dialog->BitBtn1->click();
    });
    EXPECT_EQ(Settings.ChartKind, 1);
    EXPECT_EQ(program.main->MDIChildren(0)->Series1->kind(), SeriesKind::Pie);

    // The next refresh takes rows, columns and 3D from the controls.
    program.main->AktualisierenClick(program.main->Aktualisieren);
    EXPECT_EQ(Settings.TileRows, 4);

    bool stillChecked = false;
    settingsCommand([&] {
        stillChecked = dialog->rbBalkenVer->isChecked();
        dialog->OKButton->click();
    });
    EXPECT_TRUE(stillChecked);
    EXPECT_EQ(Settings.ChartKind, 3);
    EXPECT_EQ(program.main->MDIChildren(0)->Series1->kind(), SeriesKind::Bar);

    settingsCommand([&] {
        dialog->rbKreis->setChecked(true);
        dialog->SpinEdit1->setText(QStringLiteral("2"));
        dialog->OKButton->click();
    });
}

TEST_F(SettingsDialog, TextThatIsNoNumberCountsAsOne)
{
    const QString texts[] = {"", "-", "+", "2,5", "99999999999", "abc", QString(10000, u'x')};
    for (const QString &text : texts) {
        settingsCommand([&] {
            dialog->SpinEdit2->setText(text);
            dialog->OKButton->click();
        });
        EXPECT_EQ(Settings.TileCols, 1) << text.left(20).toStdString();
        EXPECT_EQ(dialog->SpinEdit2->text(), text);
    }
    settingsCommand([&] {
        dialog->SpinEdit2->setText(QStringLiteral("9"));
        dialog->OKButton->click();
    });
    EXPECT_EQ(Settings.TileCols, 4);
    settingsCommand([&] {
        dialog->SpinEdit2->setText(QStringLiteral("3"));
        dialog->OKButton->click();
    });
    EXPECT_EQ(Settings.TileCols, 3);
}

TEST_F(SettingsDialog, EscAndEnterInTheFieldCloseNothing)
{
    bool openAfterEsc = false;
    bool openAfterEnterInField = false;
    settingsCommand([&] {
        QTest::keyClick(dialog, Qt::Key_Escape);
        openAfterEsc = dialog->isVisible();
        dialog->SpinEdit1->setFocus();
        QTest::keyClick(dialog->SpinEdit1, Qt::Key_Return);
        openAfterEnterInField = dialog->isVisible();
        dialog->OKButton->setFocus();
        QTest::keyClick(dialog->OKButton, Qt::Key_Return);
    });
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(openAfterEnterInField);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(SettingsDialog, TwoDimensionsThroughOk)
{
    settingsCommand([&] {
        dialog->rb2D->setChecked(true);
        dialog->rbBalkenHor->setChecked(true);
        dialog->OKButton->click();
    });
    EXPECT_FALSE(Settings.Chart3D);
    EXPECT_FALSE(program.main->MDIChildren(0)->DBChart1->View3D());
    EXPECT_EQ(program.main->MDIChildren(0)->Series1->kind(), SeriesKind::HorizBar);
    settingsCommand([&] {
        dialog->rb3D->setChecked(true);
        dialog->rbKreis->setChecked(true);
        dialog->OKButton->click();
    });
    EXPECT_TRUE(program.main->MDIChildren(0)->DBChart1->View3D());
}

TEST_F(SettingsDialog, OkHasTheFocusAtEachShowingAndTabStopsOnceInEachRadioGroup)
{
    // Tab (or Shift+Tab) from the rows field round the dialog, back to that field.
    const auto tabs = [&](Qt::KeyboardModifiers modifiers) {
        dialog->SpinEdit1->setFocus(Qt::TabFocusReason);
        QWidgetList stops;
        do {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            stops << QApplication::focusWidget();
        } while (stops.last() != dialog->SpinEdit1 && stops.size() < 20);
        return stops;
    };
    struct Row
    {
        const char *name;
        QRadioButton *kind;
        QRadioButton *dimension;
    };
    const Row rows[] = {{"as declared", dialog->rbKreis, dialog->rb3D},
                        {"vertical bars in 2D", dialog->rbBalkenVer, dialog->rb2D},
                        {"horizontal bars, back in 3D", dialog->rbBalkenHor, dialog->rb3D},
                        {"back as declared", dialog->rbKreis, dialog->rb3D}};
    for (const Row &row : rows) {
        row.kind->setChecked(true);
        row.dimension->setChecked(true);
        QWidget *first = nullptr;
        QWidgetList forward, backward;
        settingsCommand([&] {
            first = QApplication::focusWidget();
            forward = tabs(Qt::NoModifier);
            backward = tabs(Qt::ShiftModifier);
            dialog->OKButton->setFocus(Qt::TabFocusReason);
            QTest::keyClick(dialog->OKButton, Qt::Key_Space);
        });
        EXPECT_EQ(first, dialog->OKButton) << row.name;
        EXPECT_EQ(forward, (QWidgetList{row.kind, row.dimension, dialog->OKButton, dialog->BitBtn1,
                                        dialog->SpinEdit2, dialog->SpinEdit1}))
            << row.name;
        EXPECT_EQ(backward, (QWidgetList{dialog->SpinEdit2, dialog->BitBtn1, dialog->OKButton,
                                         row.dimension, row.kind, dialog->SpinEdit1}))
            << row.name;
        EXPECT_FALSE(dialog->isVisible()) << row.name << ": Space on OK closed the dialog";
    }
}
