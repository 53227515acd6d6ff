#include "link_opener.h"

#include <QCoreApplication>
#include <QProcess>

namespace {

class XdgOpener : public LinkOpener
{
public:
    bool Open(const QString &link) override
    {
        // No shell between us and the opener: no character of a link can run a command.
        auto *process = new QProcess(QCoreApplication::instance());
        process->setProgram(QStringLiteral("xdg-open"));
        process->setArguments({link});
        process->setStandardInputFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->start();
        if (!process->waitForStarted(3000)) {
            process->deleteLater();
            return false;
        }
        // xdg-open hands over and returns at once; one that is still busy after a moment is
        // taken to have succeeded and finishes on its own.
        if (!process->waitForFinished(2000))
            return process->state() != QProcess::NotRunning ||
                   process->exitStatus() == QProcess::NormalExit;
        return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
};

} // namespace

std::unique_ptr<LinkOpener> CreateHostLinkOpener()
{
    return std::make_unique<XdgOpener>();
}
