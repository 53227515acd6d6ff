#include "link_opener.h"

#include <QProcess>

namespace {

class XdgOpener : public LinkOpener
{
public:
    ~XdgOpener() override
    {
        // Openers still waiting when the program ends go with it, unheard; what they started
        // stays.
        for (QProcess *process : findChildren<QProcess *>()) {
            process->disconnect(this);
            process->kill();
            process->waitForFinished(1000);
        }
    }

    void Open(const QString &link) override
    {
        // No shell between us and the opener: no character of a link can run a command.
        auto *process = new QProcess(this);
        process->setProgram(QStringLiteral("xdg-open"));
        process->setArguments({link});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(process, &QProcess::errorOccurred, this, [this, process, link](auto error) {
            if (error != QProcess::FailedToStart)
                return;
            process->deleteLater();
            emit Failed(link);
        });
        connect(process, &QProcess::finished, this,
                [this, process, link](int code, QProcess::ExitStatus status) {
                    process->deleteLater();
                    if (status != QProcess::NormalExit || code != 0)
                        emit Failed(link);
                });
        process->start();
    }
};

} // namespace

std::unique_ptr<LinkOpener> CreateHostLinkOpener()
{
    return std::make_unique<XdgOpener>();
}
