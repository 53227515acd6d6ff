#include "application.h"

#include <QAction>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleOptionSlider>
#include <QStyleOptionTitleBar>

#include <exception>

TApplication *Application = nullptr;

// The buttons' glyphs live in a static library, whose resources are not registered on their
// own.
static void registerButtonGlyphs()
{
    Q_INIT_RESOURCE(buttons);
}

namespace {

const char *const showHintProperty = "volumoShowHint";

// The platform style, except that it makes each of its standard pictures once, that a lone
// Alt enters the menu bar whatever the desktop's style says (GTK-like styles leave it off), and
// that title bars show the caption a window keeps of its own (TitleBarCaption). Every drive
// window's frame asks for seven pictures for its system menu, and the style decodes them from image
// files afresh each time: a sixth of opening a drive window went into that.
class PictureKeepingStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *answer) const override
    {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }

    QIcon standardIcon(StandardPixmap picture, const QStyleOption *option,
                       const QWidget *widget) const override
    {
        if (option)
            return QProxyStyle::standardIcon(picture, option, widget);
        const Qt::LayoutDirection direction =
            widget ? widget->layoutDirection() : QGuiApplication::layoutDirection();
        const int key = static_cast<int>(picture) * 2 + (direction == Qt::RightToLeft ? 1 : 0);
        auto kept = pictures.constFind(key);
        if (kept == pictures.constEnd())
            kept = pictures.insert(key, QProxyStyle::standardIcon(picture, option, widget));
        return *kept;
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        if (control == CC_TitleBar)
            drawTitleBar(option, painter, widget);
        else if (control == CC_ScrollBar)
            drawScrollBar(option, painter, widget);
        else
            QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    void unpolish(QApplication *application) override
    {
        pictures.clear(); // a new theme may bring new pictures
        QProxyStyle::unpolish(application);
    }

private:
    // A title bar with the caption its window keeps of its own, drawn by the platform style
    // like a title: a caption drawn over the bar in colours of ours was white on the white bar
    // of a Windows theme.
    void drawTitleBar(const QStyleOptionComplex *option, QPainter *painter,
                      const QWidget *widget) const
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionTitleBar *>(option);
        const auto *caption = dynamic_cast<const TitleBarCaption *>(widget);
        if (!bar || !caption) {
            QProxyStyle::drawComplexControl(CC_TitleBar, option, painter, widget);
            return;
        }
        QStyleOptionTitleBar withCaption = *bar;
        const QRect label = subControlRect(CC_TitleBar, bar, SC_TitleBarLabel, widget);
        withCaption.text = caption->TitleBarText(painter->fontMetrics(), label.width());
        QProxyStyle::drawComplexControl(CC_TitleBar, &withCaption, painter, widget);
    }

    // A scroll bar as it was last drawn in the same state. The platform style fills its tall
    // groove in slices on a thread pool, and the hand-offs cost more than the picture: the MDI
    // area's scroll bars are drawn anew at each refresh, mostly unchanged.
    void drawScrollBar(const QStyleOptionComplex *option, QPainter *painter,
                       const QWidget *widget) const
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (!bar || option->rect.isEmpty()) {
            QProxyStyle::drawComplexControl(CC_ScrollBar, option, painter, widget);
            return;
        }
        const qreal scale = painter->device()->devicePixelRatio();
        const QString key = QString::asprintf(
            "volumo-scrollbar %dx%d range %d-%d at %d steps %d/%d %d %d %d state %x %x %x "
            "palette %lld scale %g",
            bar->rect.width(), bar->rect.height(), bar->minimum, bar->maximum, bar->sliderPosition,
            bar->pageStep, bar->singleStep, int(bar->orientation), int(bar->upsideDown),
            int(bar->direction), uint(bar->state), uint(bar->activeSubControls),
            uint(bar->subControls), static_cast<long long>(bar->palette.cacheKey()), scale);
        QPixmap picture;
        if (!QPixmapCache::find(key, &picture)) {
            picture = QPixmap((QSizeF(bar->rect.size()) * scale).toSize());
            picture.setDevicePixelRatio(scale);
            picture.fill(Qt::transparent);
            QStyleOptionSlider atOrigin = *bar;
            atOrigin.rect.moveTo(0, 0);
            QPainter onPicture(&picture);
            QProxyStyle::drawComplexControl(CC_ScrollBar, &atOrigin, &onPicture, widget);
            onPicture.end();
            QPixmapCache::insert(key, picture);
        }
        painter->drawPixmap(bar->rect.topLeft(), picture);
    }

    mutable QHash<int, QIcon> pictures;
};

} // namespace

QPalette ClassicPalette()
{
    const QColor face(240, 240, 240);
    const QColor windowText(Qt::black);
    QPalette palette(windowText, face, Qt::white, QColor(160, 160, 160), QColor(227, 227, 227),
                     windowText, Qt::white, Qt::white, face);
    palette.setColor(QPalette::Shadow, QColor(105, 105, 105));
    palette.setColor(QPalette::Highlight, QColor(0, 120, 215));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, windowText);
    palette.setColor(QPalette::PlaceholderText, QColor(109, 109, 109));
    palette.setColor(QPalette::Link, QColor(0, 0, 255));
    palette.setColor(QPalette::LinkVisited, QColor(128, 0, 128));
    const QColor grayText(109, 109, 109);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, grayText);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(204, 204, 204));
    return palette;
}

QString HintOf(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->statusTip().isEmpty())
            return widget->statusTip();
        if (widget->isWindow())
            break;
    }
    return {};
}

void SetShowHint(QWidget *widget, bool show)
{
    widget->setProperty(showHintProperty, show);
    widget->setToolTip(show ? widget->statusTip() : QString());
}

TApplication::EventLoopChoice::EventLoopChoice()
{
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        chosen = qputenv("QT_NO_GLIB", "1");
#endif
}

TApplication::EventLoopChoice::~EventLoopChoice()
{
    if (chosen)
        qunsetenv("QT_NO_GLIB");
}

TApplication::TApplication(int &argc, char **argv, const EventLoopChoice &)
    : QApplication(argc, argv)
{
    Application = this;
    if (toolkitTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&toolkitTexts);
    registerButtonGlyphs();
    setStyle(new PictureKeepingStyle);
    setPalette(ClassicPalette());
    installEventFilter(this);
}

TApplication::~TApplication()
{
    Application = nullptr;
}

void TApplication::ShowException(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok, activeWindow());
    box.exec();
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    RunHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void TApplication::setHint(const QString &text)
{
    if (text == hint)
        return;
    hint = text;
    emit HintChanged();
}

void TApplication::ShowMenuHint(QAction *action)
{
    setHint(action ? action->statusTip() : QString());
}

QString TApplication::hintNow() const
{
    // An open menu speaks for its highlighted entry, or for nothing.
    if (auto *menu = qobject_cast<QMenu *>(activePopupWidget())) {
        const QAction *entry = menu->activeAction();
        return entry ? entry->statusTip() : QString();
    }
    // So does the active window's menu bar while the keyboard walks it.
    if (const QWidget *window = activeWindow()) {
        const auto *bar = window->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly);
        if (const QAction *entry = bar ? bar->activeAction() : nullptr)
            return entry->statusTip();
    }
    // Else what is under the pointer: an entry of a menu bar, or a control.
    QWidget *under = widgetAt(QCursor::pos());
    if (const auto *bar = qobject_cast<QMenuBar *>(under)) {
        const QAction *entry = bar->actionAt(bar->mapFromGlobal(QCursor::pos()));
        return entry ? entry->statusTip() : QString();
    }
    return HintOf(under);
}

void TApplication::updateHintSoon()
{
    // Entering one control leaves another; worked out once the events of the moment are
    // through, the hint never flashes empty between the two.
    if (hintQueued)
        return;
    hintQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            hintQueued = false;
            setHint(hintNow());
        },
        Qt::QueuedConnection);
}

bool TApplication::eventFilter(QObject *watched, QEvent *event)
{
    // A desktop that pushes a palette of its own (a dark theme) meets the classic one again:
    // the forms' colours were chosen against it.
    if (watched == this && event->type() == QEvent::ApplicationPaletteChange &&
        palette() != ClassicPalette())
        setPalette(ClassicPalette());
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return QApplication::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::ToolTip:
        if (!widget->property(showHintProperty).toBool())
            return true;
        break;
    // Whatever may change what is highlighted or under the pointer: the pointer moving, menus
    // opening, closing or walked with the keyboard, and controls moving under a pointer at rest.
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::MouseMove:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        updateHintSoon();
        break;
    default:
        break;
    }
    return QApplication::eventFilter(watched, event);
}

void ShowHandlerException()
{
    try {
        throw;
    } catch (const std::exception &error) {
        Application->ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        Application->ShowException(QStringLiteral("Unbekannter Fehler."));
    }
}
