// The real program showing another machine's volumes: Debian's prometheus scraping every second
// one prometheus-node-exporter per simulated machine, whose volumes are tmpfs volumes of this
// test's private mount namespace (private_mounts, as root): host-a with a 2 GiB "/" and a 5 GiB
// /data, host-b with 3 GiB and 7 GiB.
#include "../gui_helpers.h"
#include "Childwin.h"
#include "Main.h"
#include "chart.h"
#include "fleet_answers.h"
#include "machines.h"
#include "number_format.h"
#include "program.h"
#include "prometheus_answer.h"
#include "prometheus_client.h"
#include "prometheus_fixture.h"
#include "status_bar.h"
#include "volume_sampler.h"
#include "volume_watcher.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

#include <memory>

namespace {

class OtherMachines : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString reason = TwoMachines::SkipReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        machines = std::make_unique<TwoMachines>();
        ASSERT_TRUE(machines->failure.isEmpty()) << machines->failure.toStdString();

        SetNumberSeparators({".", ","});
        program.Ready();
        PrometheusConnection connection;
        connection.url = machines->prometheus->Url();
        program.Fleet().Connect(connection, false);
        ASSERT_TRUE(WaitFor([&] { return entry("host-b") != nullptr; }, 20000))
            << "the menu never offered host-b";
    }

    // The "Rechner" menu's entry of a machine.
    QAction *entry(const QString &instance) const
    {
        for (QAction *action : program.main->Rechner1->actions()) {
            if (action->data().toString() == instance)
                return action;
        }
        return nullptr;
    }

    TMDIChild *window(const QString &root) const
    {
        for (int i = 0; i < program.main->MDIChildCount(); ++i) {
            if (program.main->MDIChildren(i)->windowTitle().startsWith(root))
                return program.main->MDIChildren(i);
        }
        return nullptr;
    }

    QString condition() const { return program.main->StatusBar1->PanelText(1); }

    std::unique_ptr<TwoMachines> machines;
    VolumeWatcher changes;
    ProgramUnderTest program{&changes};
};

} // namespace

TEST_F(OtherMachines, AMachinesVolumesAsItsOwnFollowedAndKeptWhenItOrTheServerStopsAnswering)
{
    entry("host-b")->trigger(); // as a click on the menu's entry does
    ASSERT_TRUE(WaitFor(
        [&] { return program.main->windowTitle().endsWith(QStringLiteral(" \u2013 host-b")); }));
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 2 && window("D:\\"); }));
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\ \u2013 host-b", "D:\\ \u2013 host-b"}));
    TMDIChild *data = window("D:\\");
    EXPECT_EQ(ProgramUnderTest::Figures(window("C:\\")),
              (QStringList{"0 GB =", "0%", "3 GB =", "100%", "3 GB =", "100%"}));
    EXPECT_EQ(ProgramUnderTest::Figures(data),
              (QStringList{"0 GB =", "0%", "7 GB =", "100%", "7 GB =", "100%"}));
    EXPECT_TRUE(data->DBChart1->statusTip().startsWith(QStringLiteral("D:\\ = /data (tmpfs")))
        << data->DBChart1->statusTip().toStdString();
    EXPECT_TRUE(data->DBChart1->statusTip().endsWith(QStringLiteral(" auf host-b")));
    EXPECT_TRUE(entry("host-b")->isChecked());
    EXPECT_FALSE(program.main->DieserRechner->isChecked());

    // 1.5 GiB written to its /data: within two of the server's refreshes and a sample.
    QFile file(machines->mounts + "/b/data/fill");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 24; ++i)
        ASSERT_EQ(file.write(QByteArray(64 << 20, 'x')), 64 << 20);
    file.close();
    const int interval = static_cast<int>(program.Fleet().Client()->Interval().count());
    EXPECT_TRUE(WaitFor([&] { return data->LabelMBFrei->text() == QStringLiteral("5 GB ="); },
                        3 * interval + VolumeSampler::VisibleMs + 2000))
        << data->LabelMBFrei->text().toStdString();
    EXPECT_EQ(window("D:\\"), data) << "changed in place";

    // Its exporter stops: the machine is unreachable, its last figures stay.
    machines->hostB->Stop();
    EXPECT_TRUE(WaitFor([&] { return condition().contains(u"nicht erreichbar"); }, 20000))
        << condition().toStdString();
    EXPECT_TRUE(condition().startsWith(QStringLiteral("host-b ist nicht erreichbar, zuletzt "
                                                      "gesehen um ")));
    EXPECT_TRUE(entry("host-b")->text().endsWith(QStringLiteral("(nicht erreichbar)")));
    EXPECT_EQ(data->LabelMBFrei->text(), QStringLiteral("5 GB ="));
    EXPECT_EQ(data->LabelMBGesamt->text(), QStringLiteral("7 GB ="));

    // The server stops: every figure stays, marked old.
    machines->prometheus->Stop();
    EXPECT_TRUE(WaitFor([&] { return condition().contains(u"Die Werte sind von"); }, 30000))
        << condition().toStdString();
    EXPECT_EQ(data->LabelMBGesamt->text(), QStringLiteral("7 GB ="));
    EXPECT_EQ(program.main->MDIChildCount(), 2);

    // And this machine again, from the same menu.
    program.main->DieserRechner->trigger();
    EXPECT_TRUE(WaitFor([&] { return program.Captions().contains(QStringLiteral("D:\\")); }));
    EXPECT_EQ(program.main->windowTitle(),
              QStringLiteral("Volumo von den Volumo-Entwicklern - Version 2.5.1"));
    EXPECT_TRUE(condition().isEmpty());
}

namespace {

// A server of the test's own whose one machine's labels come from someone who means harm:
// markup, a right-to-left override, a control character, an ampersand and 10,000 characters.
const std::string hostileInstance = "<img src=x>:9100";
const std::string hostileName = "\u202Eevil<b>&amp</b>";
const std::string hostileMount = "/data<b>\a" + std::string(10000, 'm');

QByteArray hostileAnswer()
{
    const auto escaped = [](std::string text) {
        std::string json;
        for (const char c : text) {
            if (c == '\a')
                json += "\\u0007";
            else
                json += c;
        }
        return json;
    };
    return QByteArray::fromStdString(FleetAnswerOf({
        MachineSeries(hostileInstance, "up", "1"),
        R"({"metric":{"instance":")" + hostileInstance + R"(","nodename":")" + hostileName +
            R"(","volumo":"uname"},"value":[1700000000.5,"1"]})",
        FilesystemSeries(hostileInstance, "/", "size", "107374182400", "/dev/sda1"),
        FilesystemSeries(hostileInstance, "/", "avail", "42949672960", "/dev/sda1"),
        FilesystemSeries(hostileInstance, escaped(hostileMount), "size", "53687091200"),
        FilesystemSeries(hostileInstance, escaped(hostileMount), "avail", "1073741824"),
    }));
}

} // namespace

TEST(OtherMachinesNames, LabelsFromElsewhereShowAsPlainShortTextInMenuTitlesAndHints)
{
    FakeHttpServer server([](const FakeRequest &) {
        FakeResponse response;
        response.body = hostileAnswer();
        return response;
    });
    VolumeWatcher changes;
    ProgramUnderTest program(&changes);
    program.Ready();
    PrometheusConnection connection;
    connection.url = server.Url();
    program.Fleet().Connect(connection, false);
    QAction *entry = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QAction *action : program.main->Rechner1->actions()) {
            if (action->data().toString() == QString::fromStdString(hostileInstance))
                entry = action;
        }
        return entry != nullptr;
    }));
    const QString name = QString::fromStdString(PlainLine(hostileName, 60));
    const QString onMachine = QStringLiteral(" \u2013 ") + name;
    EXPECT_FALSE(name.contains(QChar(0x202E))) << "no text turned round";
    EXPECT_EQ(entry->text(), QString(name).replace(u'&', QStringLiteral("&&")))
        << "an ampersand is no access key";

    entry->trigger();
    ASSERT_TRUE(WaitFor([&] { return program.main->windowTitle().endsWith(onMachine); }))
        << program.main->windowTitle().toStdString();
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 2; }));
    for (const QString &caption : program.Captions())
        EXPECT_TRUE(caption.endsWith(onMachine)) << caption.toStdString();
    TMDIChild *data = program.main->MDIChildren(1);
    const QString hint = data->DBChart1->statusTip();
    EXPECT_TRUE(hint.startsWith(QStringLiteral("D:\\ = /data<b>\uFFFD"))) << "markup is text";
    EXPECT_LT(hint.size(), 300) << "cut to one short line";
    EXPECT_TRUE(hint.endsWith(QStringLiteral(" auf ") + name));
}
