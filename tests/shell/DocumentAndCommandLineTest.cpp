// The empty document's New, Open, Save and Save As, and the command line.

#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/RecordingUserMessages.h"
#include "shell/CommandLine.h"
#include "shell/QuorlCollectorTabletDoc.h"

using namespace quorl;

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class DocumentAndCommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void saveAsksOnceThenWritesAnEmptyFile() {
        QTemporaryDir dir;
        const QString path = dir.path() + "/doc";
        WriteFile(path, "old contents");
        RecordingUserMessages messages;
        CQuorlCollectorTabletDoc doc(messages);

        // Cancelled: nothing written.
        QVERIFY(!doc.Save());
        QCOMPARE(Contents(path), QByteArray("old contents"));
        QCOMPARE(messages.FileRequests().size(), std::size_t{1});
        const FileDialogRequest first = messages.FileRequests()[0];
        QVERIFY(!first.open);
        QVERIFY(first.confirmOverwrite);
        QCOMPARE(first.initialName, std::string("QuorlCollectorT"));
        QCOMPARE(first.filter, std::string("All Files (*.*)|*.*||"));

        messages.QueueFile(path.toStdString());
        QVERIFY(doc.Save());
        QCOMPARE(Contents(path), QByteArray());
        QCOMPARE(doc.PathName(), path.toStdString());
        // The second save writes without asking.
        WriteFile(path, "x");
        QVERIFY(doc.Save());
        QCOMPARE(Contents(path), QByteArray());
        QCOMPARE(messages.FileRequests().size(), std::size_t{2});
        // Save As always asks, offering the current name.
        const QString other = dir.path() + "/other";
        messages.QueueFile(other.toStdString());
        QVERIFY(doc.SaveAs());
        QCOMPARE(messages.FileRequests().back().initialName, path.toStdString());
        QCOMPARE(Contents(other), QByteArray());
        QCOMPARE(doc.PathName(), other.toStdString());
        QVERIFY(doc.Save());
        QCOMPARE(messages.FileRequests().size(), std::size_t{3});
        QVERIFY(!doc.IsModified());
        QVERIFY(messages.Texts().empty());

        // New forgets the path: the next save asks again.
        doc.OnNewDocument();
        QVERIFY(!doc.Save());
        QCOMPARE(messages.FileRequests().size(), std::size_t{4});
    }

    void unwritableAndUnreadableFilesAreReported() {
        QTemporaryDir dir;
        RecordingUserMessages messages;
        CQuorlCollectorTabletDoc doc(messages);
        messages.QueueFile((dir.path() + "/missing/doc").toStdString());
        QVERIFY(!doc.SaveAs());
        QCOMPARE(messages.Texts().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(messages.Texts()[0]).contains("No such file or directory"));
        QVERIFY(doc.PathName().empty());

        messages.QueueFile((dir.path() + "/absent").toStdString());
        QVERIFY(!doc.Open());
        QCOMPARE(messages.Texts().size(), std::size_t{2});
        QCOMPARE(messages.Entries()[3].kind, RecordingUserMessages::Kind::Plain);
        QVERIFY(QString::fromStdString(messages.Texts()[1]).contains("No such file or directory"));

        // A FIFO is named in a message; neither way waits for a reader or writer.
        const QString fifo = dir.path() + "/fifo";
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
        messages.QueueFile(fifo.toStdString());
        QVERIFY(!doc.Open());
        messages.QueueFile(fifo.toStdString());
        QVERIFY(!doc.SaveAs());
        QCOMPARE(messages.Texts().size(), std::size_t{4});
        for (std::size_t i : {std::size_t{2}, std::size_t{3}})
            QVERIFY(QString::fromStdString(messages.Texts()[i]).contains("FIFO"));
        QVERIFY(doc.PathName().empty());
    }

    void anOpenedFileIsNotEmptiedBySave() {
        QTemporaryDir dir;
        const QString path = dir.path() + "/survey.ssd";
        WriteFile(path, "collected points");
        RecordingUserMessages messages;
        CQuorlCollectorTabletDoc doc(messages);
        messages.QueueFile(path.toStdString());
        QVERIFY(doc.Open());
        QCOMPARE(doc.PathName(), path.toStdString());
        QVERIFY(messages.FileRequests()[0].open);
        QVERIFY(messages.FileRequests()[0].mustExist);
        QCOMPARE(Contents(path), QByteArray("collected points"));

        // Save asks (offering the opened name) instead of writing over it.
        QVERIFY(!doc.Save());
        QCOMPARE(messages.FileRequests().size(), std::size_t{2});
        QCOMPARE(messages.FileRequests()[1].initialName, path.toStdString());
        QVERIFY(messages.FileRequests()[1].confirmOverwrite);
        QCOMPARE(Contents(path), QByteArray("collected points"));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("help");
        QTest::addColumn<bool>("error");
        using U = CommandLineOptions::Unit;
        QTest::newRow("nothing") << QStringList{} << int(U::FirstAdapter) << "" << false << false;
        QTest::newRow("simulate") << QStringList{"--simulate"} << int(U::Simulated) << "" << false << false;
        QTest::newRow("scenario") << QStringList{"--simulate=walk.json"} << int(U::Simulated) << "walk.json"
                                  << false << false;
        QTest::newRow("device") << QStringList{"--device", "/dev/pts/3"} << int(U::Device) << "/dev/pts/3"
                                << false << false;
        QTest::newRow("device=") << QStringList{"--device=/dev/ttyUSB1"} << int(U::Device) << "/dev/ttyUSB1"
                                 << false << false;
        QTest::newRow("help") << QStringList{"--help"} << int(U::FirstAdapter) << "" << true << false;
        QTest::newRow("device without path") << QStringList{"--device"} << 0 << "" << false << true;
        QTest::newRow("empty scenario") << QStringList{"--simulate="} << 0 << "" << false << true;
        QTest::newRow("both units") << QStringList{"--simulate", "--device", "/dev/x"} << 0 << "" << false << true;
        QTest::newRow("unknown") << QStringList{"--fast"} << 0 << "" << false << true;
        QTest::newRow("stray word") << QStringList{"file.ssd"} << 0 << "" << false << true;
        QTest::newRow("site") << QStringList{"--simulate", "--site", "b.qsite"} << int(U::Simulated) << "" << false
                              << false;
        QTest::newRow("site=") << QStringList{"--site=b.qsite"} << int(U::FirstAdapter) << "" << false << false;
        QTest::newRow("site without file") << QStringList{"--site"} << 0 << "" << false << true;
        QTest::newRow("empty site") << QStringList{"--site="} << 0 << "" << false << true;
        QTest::newRow("two sites") << QStringList{"--site", "a.qsite", "--site", "b.qsite"} << 0 << "" << false << true;
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, unit);
        QFETCH(QString, value);
        QFETCH(bool, help);
        QFETCH(bool, error);
        std::vector<std::string> args;
        for (const QString& a : arguments) args.push_back(a.toStdString());
        const CommandLineOptions options = ParseCommandLine(args);
        QCOMPARE(!options.error.empty(), error);
        if (error) return;
        QCOMPARE(int(options.unit), unit);
        QCOMPARE(options.help, help);
        const std::string shown = options.unit == CommandLineOptions::Unit::Device ? options.devicePath
                                                                                  : options.scenarioPath;
        QCOMPARE(QString::fromStdString(shown), value);
        QCOMPARE(options.sitePath.empty(), !arguments.join(' ').contains("qsite"));
    }

    void helpIsFoundBeforeTheWindowSystemStarts() {
        const char* withHelp[] = {"quorl-collector", "-platform", "offscreen", "--help"};
        const char* without[] = {"quorl-collector", "--simulate"};
        QVERIFY(AsksForHelp(4, withHelp));
        QVERIFY(!AsksForHelp(2, without));
        const char* withVersion[] = {"quorl-collector", "--device", "/dev/ttyUSB0", "--version"};
        QVERIFY(AsksForVersion(4, withVersion));
        QVERIFY(!AsksForVersion(4, withHelp));
        const std::string usage = CommandLineUsage("quorl-collector");
        for (const char* option : {"--simulate[=SCENARIO]", "--device PATH", "--site SITE", "--help", "--version",
                                   "/dev/quorl-unit"})
            QVERIFY2(usage.find(option) != std::string::npos, option);
    }
};

QTEST_MAIN(DocumentAndCommandLineTest)
#include "DocumentAndCommandLineTest.moc"
