#include "application.h"

#include "event_handler.h"

#include <QAction>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QTimer>

TApplication *Application = nullptr;

// The pictures live in a static library, whose resources are not registered on their own.
static void registerPictures()
{
    Q_INIT_RESOURCE(volumo);
}

namespace {

const char *const showHintProperty = "volumoShowHint";

// The platform style, except that it makes each of its standard pictures once. Every drive
// window's frame asks for seven of them for its system menu, and the style decodes them from
// image files afresh each time: a sixth of opening a drive window went into that.
class PictureKeepingStyle : public QProxyStyle
{
public:
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

    void unpolish(QApplication *application) override
    {
        pictures.clear(); // a new theme may bring new pictures
        QProxyStyle::unpolish(application);
    }

private:
    mutable QHash<int, QIcon> pictures;
};

} // namespace

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

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    Application = this;
    if (toolkitTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&toolkitTexts);
    registerPictures();
    setStyle(new PictureKeepingStyle);
    installEventFilter(this);
    leaving.setSingleShot(true);
    leaving.setInterval(50);
    connect(&leaving, &QTimer::timeout, this, [this] { hintFromWidget(leftFor); });
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

void TApplication::hintFromMenu(QWidget *menu, QPoint position)
{
    QAction *action = nullptr;
    if (auto *bar = qobject_cast<QMenuBar *>(menu))
        action = bar->actionAt(position);
    else if (auto *popup = qobject_cast<QMenu *>(menu))
        action = popup->actionAt(position);
    setHint(action ? action->statusTip() : QString());
}

void TApplication::hintFromWidget(QWidget *widget)
{
    hovered = widget;
    setHint(HintOf(widget));
}

bool TApplication::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return QApplication::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::ToolTip:
        if (!widget->property(showHintProperty).toBool())
            return true;
        break;
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (qobject_cast<QMenu *>(widget) || qobject_cast<QMenuBar *>(widget)) {
            leaving.stop();
            const QPoint position = event->type() == QEvent::MouseMove
                                        ? static_cast<QMouseEvent *>(event)->position().toPoint()
                                        : widget->mapFromGlobal(QCursor::pos());
            hintFromMenu(widget, position);
        } else if (event->type() == QEvent::Enter) {
            leaving.stop();
            hintFromWidget(widget);
        }
        break;
    case QEvent::Leave:
        // Back to the parent, or to nothing outside the window; unless another control is
        // entered right after, which is the usual case and must not flash an empty hint.
        if (widget == hovered || qobject_cast<QMenuBar *>(widget)) {
            leftFor = widget->isWindow() ? nullptr : widget->parentWidget();
            leaving.start();
        }
        break;
    case QEvent::Hide:
        if (qobject_cast<QMenu *>(widget))
            hintFromWidget(QApplication::widgetAt(QCursor::pos()));
        break;
    default:
        break;
    }
    return QApplication::eventFilter(watched, event);
}
