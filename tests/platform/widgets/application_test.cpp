#include "../../gui_helpers.h"
#include "application.h"

#include <QAbstractEventDispatcher>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <stdexcept>

TEST(Hints, ControlUnderTheMouseOrItsNearestAncestorWithOne)
{
    QWidget window;
    window.resize(300, 200);
    auto *layout = new QVBoxLayout(&window);
    auto *withHint = new QPushButton(QStringLiteral("mit"));
    withHint->setStatusTip(QStringLiteral("Knopfhinweis"));
    auto *group = new QWidget;
    group->setStatusTip(QStringLiteral("Gruppenhinweis"));
    auto *groupLayout = new QVBoxLayout(group);
    auto *inside = new QLabel(QStringLiteral("drinnen"));
    groupLayout->addWidget(inside);
    auto *without = new QLabel(QStringLiteral("ohne"));
    layout->addWidget(withHint);
    layout->addWidget(group);
    layout->addWidget(without);

    QStringList seen;
    QObject::connect(Application, &TApplication::HintChanged, &window,
                     [&] { seen << Application->Hint(); });
    ASSERT_TRUE(ShowActive(&window));

    Hover(withHint, 10);
    EXPECT_EQ(Application->Hint(), QStringLiteral("Knopfhinweis"));
    Hover(inside, 10);
    EXPECT_EQ(Application->Hint(), QStringLiteral("Gruppenhinweis"));
    Hover(without, 10);
    EXPECT_EQ(Application->Hint(), QString());
    EXPECT_EQ(seen, (QStringList{"Knopfhinweis", "Gruppenhinweis", ""}));
}

TEST(Hints, HighlightedMenuEntriesTopLevelIncluded)
{
    QWidget window;
    window.resize(300, 200);
    auto *bar = new QMenuBar(&window);
    bar->setNativeMenuBar(false);
    QMenu *file = bar->addMenu(QStringLiteral("&Datei"));
    file->menuAction()->setStatusTip(QStringLiteral("Dateioperationen"));
    QAction *quit = file->addAction(QStringLiteral("&Beenden"));
    quit->setStatusTip(QStringLiteral("Programm beenden"));
    QObject::connect(file, &QMenu::hovered, Application, &TApplication::ShowMenuHint);
    bar->resize(300, bar->sizeHint().height());
    ASSERT_TRUE(ShowActive(&window));

    QTest::mouseMove(bar, bar->actionGeometry(file->menuAction()).center());
    QTest::qWait(10);
    EXPECT_EQ(Application->Hint(), QStringLiteral("Dateioperationen"));

    file->popup(window.mapToGlobal(QPoint(0, 30)));
    ASSERT_TRUE(WaitFor([&] { return file->isVisible(); }));
    file->setActiveAction(quit); // as the arrow keys highlight it
    EXPECT_EQ(Application->Hint(), QStringLiteral("Programm beenden"));
    file->hide();
}

TEST(Tooltips, OnlyWhereTheFormAsksForThem)
{
    QWidget window;
    auto *plain = new QToolButton(&window);
    plain->setText(QStringLiteral("Gesamtübersicht"));
    plain->setGeometry(0, 0, 100, 30);
    auto *asked = new QToolButton(&window);
    asked->setText(QStringLiteral("Einstellungen"));
    asked->setStatusTip(QStringLiteral("Programmeinstellungen"));
    SetShowHint(asked, true);
    asked->setGeometry(0, 40, 100, 30);
    ASSERT_TRUE(ShowActive(&window));

    const auto tooltipOver = [](QWidget *widget) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, widget->rect().center(),
                        widget->mapToGlobal(widget->rect().center()));
        QApplication::sendEvent(widget, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipOver(plain), QString());
    EXPECT_EQ(tooltipOver(asked), QStringLiteral("Programmeinstellungen"));
    QToolTip::hideText();
}

TEST(Exceptions, AnExceptionLeavingAHandlerShowsTheErrorBoxAndTheProgramGoesOn)
{
    QWidget window;
    auto *button = new QPushButton(QStringLiteral("Los"), &window);
    button->resize(100, 30);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, button, EventHandler([&] {
                         ++clicks;
                         throw std::runtime_error("Laufwerk kaputt");
                     }));
    ASSERT_TRUE(ShowActive(&window));

    const auto seen = AnswerNextMessageBox();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->title, QStringLiteral("Volumo"));
    EXPECT_EQ(seen->text, QStringLiteral("Laufwerk kaputt"));
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(seen->buttons, 1);

    const auto again = AnswerNextMessageBox();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(again->seen);
    EXPECT_EQ(clicks, 2);
}

TEST(EventLoop, QtsOwnUnlessTheEnvironmentNamesOneAndTheEnvironmentIsLeftAsItWas)
{
#ifdef Q_OS_LINUX
    // The running application was made without GLib's loop, and nothing of the choice is left
    // for the processes it starts.
    EXPECT_STRNE(QAbstractEventDispatcher::instance()->metaObject()->className(),
                 "QPAEventDispatcherGlib");
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_NO_GLIB"));

    const struct
    {
        const char *before; // nullptr: not set
        const char *during;
    } rows[] = {{nullptr, "1"}, {"0", "0"}, {"", ""}};
    for (const auto &row : rows) {
        if (row.before)
            qputenv("QT_NO_GLIB", row.before);
        else
            qunsetenv("QT_NO_GLIB");
        {
            const TApplication::EventLoopChoice choice;
            EXPECT_EQ(qgetenv("QT_NO_GLIB"), QByteArray(row.during))
                << (row.before ? row.before : "unset");
        }
        EXPECT_EQ(qEnvironmentVariableIsSet("QT_NO_GLIB"), row.before != nullptr);
        EXPECT_EQ(qgetenv("QT_NO_GLIB"), QByteArray(row.before ? row.before : ""));
    }
    qunsetenv("QT_NO_GLIB");
#endif
}

namespace {

class OpenScrollBar : public QScrollBar
{
public:
    using QScrollBar::initStyleOption;
    using QScrollBar::QScrollBar;
};

} // namespace

TEST(ScrollBars, KeptPicturesLookAsTheStyleDrawsThemInEveryState)
{
    // Each state drawn through the application's style, which keeps the picture, beside the
    // style underneath drawing it afresh: a kept picture must never show another state.
    QStyle *ours = QApplication::style();
    QStyle *base = static_cast<QProxyStyle *>(ours)->baseStyle();
    QWidget window;
    auto &bar = *new OpenScrollBar(Qt::Vertical, &window);
    bar.resize(16, 400);
    ASSERT_TRUE(ShowActive(&window));
    const auto drawn = [&](QStyle *style) {
        QStyleOptionSlider option;
        bar.initStyleOption(&option);
        option.subControls = QStyle::SC_All; // as the bar paints itself
        QImage image(bar.size(), QImage::Format_RGB32);
        image.fill(bar.palette().color(QPalette::Window));
        QPainter painter(&image);
        style->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, &bar);
        painter.end();
        return image;
    };

    const struct
    {
        Qt::Orientation orientation;
        int maximum;
        int value;
        bool enabled;
    } rows[] = {
        {Qt::Vertical, 1000, 0, true},     {Qt::Vertical, 1000, 500, true},
        {Qt::Vertical, 1000, 1000, true},  {Qt::Vertical, 1000, 0, true}, // again: from the store
        {Qt::Vertical, 200, 0, true},      {Qt::Vertical, 1000, 500, false},
        {Qt::Horizontal, 1000, 250, true},
    };
    QImage previous;
    for (const auto &row : rows) {
        bar.setOrientation(row.orientation);
        bar.resize(row.orientation == Qt::Vertical ? QSize(16, 400) : QSize(400, 16));
        bar.setRange(0, row.maximum);
        bar.setPageStep(100);
        bar.setValue(row.value);
        bar.setEnabled(row.enabled);
        const QImage seen = drawn(ours);
        EXPECT_EQ(seen, drawn(ours));
        EXPECT_EQ(seen, drawn(base))
            << "maximum " << row.maximum << ", value " << row.value << ", enabled " << row.enabled;
        EXPECT_NE(seen, previous) << "a new state shows a new picture";
        previous = seen;
    }
}

namespace {

// A window that keeps a caption of its own, as an MDI child's frame does.
class CaptionedWindow : public QWidget, public TitleBarCaption
{
public:
    QString TitleBarText(const QFontMetrics &metrics, int width) const override
    {
        return metrics.elidedText(QStringLiteral("Laufwerksbelegung C:\\"), Qt::ElideRight, width);
    }
};

} // namespace

TEST(TitleBars, ACaptionOfItsOwnIsDrawnByTheStyleUnderneathAsItDrawsATitle)
{
    // The bar as QMdiSubWindow hands it over, with no title, drawn through the application's
    // style, beside the style underneath drawing the same bar with the caption as its title:
    // the caption comes in the colours that style gives the bar, active or not.
    QStyle *ours = QApplication::style();
    QStyle *base = static_cast<QProxyStyle *>(ours)->baseStyle();
    CaptionedWindow window;
    window.resize(300, 100);
    const auto drawn = [&](QStyle *style, const QStyleOptionTitleBar &bar, bool captioned) {
        QImage image(bar.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        QStyleOptionTitleBar option = bar;
        if (captioned) {
            const QRect label =
                style->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarLabel, &window);
            option.text = window.TitleBarText(painter.fontMetrics(), label.width());
        }
        style->drawComplexControl(QStyle::CC_TitleBar, &option, &painter, &window);
        painter.end();
        return image;
    };

    const struct
    {
        const char *name;
        bool active;
        int width;
    } rows[] = {{"active", true, 300}, {"inactive", false, 300}, {"active, elided", true, 120}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QStyleOptionTitleBar bar;
        bar.initFrom(&window);
        bar.rect = QRect(0, 0, row.width, 22);
        bar.subControls = QStyle::SC_All;
        bar.titleBarFlags = Qt::SubWindow | Qt::WindowSystemMenuHint | Qt::WindowTitleHint |
                            Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
        bar.palette.setCurrentColorGroup(row.active ? QPalette::Active : QPalette::Inactive);
        if (row.active) {
            bar.state |= QStyle::State_Active;
            bar.titleBarState |= QStyle::State_Active;
        }
        const QImage seen = drawn(ours, bar, false);
        EXPECT_EQ(seen, drawn(base, bar, true));
        EXPECT_NE(seen, drawn(base, bar, false)) << "the caption shows";
    }
}
