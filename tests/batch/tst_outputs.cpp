// SPDX-License-Identifier: GPL-3.0-or-later
// A job counts as printed only when its pages arrived whole where they were sent: every way
// an output can fail leaves start.txt and any earlier output byte for byte as they were, in
// the batch printer and, where it has the same path, in the window.
#include "window/WindowSupport.h"

#include "history/HistoryLocation.h"

#include "settings/SettingsFile.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace corvial;

namespace {

const QByteArray kSettings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";
const QByteArray kEarlier = "an earlier output that must survive";
// Small enough that no job's PDF fits, large enough for start.txt.
constexpr int kFullDiskKiB = 4;

// The folder a row runs in: start.txt, an earlier PDF and workbook, a FIFO, a font setup
// that finds no font at all.
struct Scene
{
    QTemporaryDir dir;
    // The window's print history, kept out of the folder whose files the rows compare.
    QTemporaryDir historyDir;
    QString path(const QString &name) const { return dir.filePath(name); }
    bool make()
    {
        const auto write = [this](const QString &name, const QByteArray &bytes) {
            QFile f(path(name));
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        const QByteArray history =
            "[history]\ndatabase=" + historyDir.filePath(QStringLiteral("h.sqlite")).toUtf8();
        return dir.isValid() && historyDir.isValid() &&
               write(historySettingsFileName(), history + '\n') &&
               write(QStringLiteral("start.txt"), kSettings) &&
               write(QStringLiteral("out.pdf"), kEarlier) &&
               write(QStringLiteral("out.xls"), kEarlier) &&
               write(QStringLiteral("no-fonts.conf"), "<fontconfig></fontconfig>") &&
               ::mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0600) == 0 &&
               // The window gives a bare workbook name its extension.
               ::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.xls"))).constData(), 0600) == 0;
    }
    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList entries() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
    // Nothing written, nothing left behind, nothing moved on.
    void verifyUntouched(const QStringList &before) const
    {
        QCOMPARE(read(QStringLiteral("start.txt")), kSettings);
        QCOMPARE(read(QStringLiteral("out.pdf")), kEarlier);
        QCOMPARE(read(QStringLiteral("out.xls")), kEarlier);
        QCOMPARE(entries(), before);
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), &st) == 0 &&
                S_ISFIFO(st.st_mode));
    }
};

struct Run
{
    int status = -1;
    QString err;
};

// The batch printer in the scene's folder, under a file size limit (kibibytes, 0 = none)
// as a full disk sets one, and with a PDF name given as raw bytes where rawPdf is set. The
// rows are about the outputs; the print history, which a full disk stops first, has tests
// of its own.
Run runBatch(const Scene &scene, const QStringList &args, int fsizeKiB, const QByteArray &rawPdf,
             bool noFonts)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVIAL_FSIZE"), fsizeKiB > 0 ? QString::number(fsizeKiB) : "");
    env.insert(QStringLiteral("CORVIAL_RAW_PDF"), QString::fromLatin1(rawPdf));
    if (noFonts)
        env.insert(QStringLiteral("FONTCONFIG_FILE"), scene.path(QStringLiteral("no-fonts.conf")));
    // A write past the limit must fail with EFBIG, as on a full disk, not kill the process.
    const QString script =
        QStringLiteral("trap '' XFSZ; [ -n \"$CORVIAL_FSIZE\" ] && ulimit -f \"$CORVIAL_FSIZE\"; "
                       "if [ -n \"$CORVIAL_RAW_PDF\" ]; then exec \"$@\" --pdf \"$(printf "
                       "\"$CORVIAL_RAW_PDF\")\"; "
                       "fi; exec \"$@\"");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(scene.dir.path());
    p.start(QStringLiteral("bash"),
            QStringList{QStringLiteral("-c"), script, QStringLiteral("bash"),
                        QStringLiteral(CORVIAL_BATCH)} +
                args + QStringList{QStringLiteral("--no-history")});
    Run r;
    p.closeWriteChannel();
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

enum class WindowPath { None, PrintPdf, Excel };

} // namespace

class TestOutputs : public QObject
{
    Q_OBJECT

private slots:
    void failuresMoveNothing_data();
    void failuresMoveNothing();
    void unreadableSettingsAreNotSavedOver();
    void abandonedVersionsAreRemoved();
};

void TestOutputs::failuresMoveNothing_data()
{
    QTest::addColumn<QStringList>("args"); // after -t 2 -n 30 [--text ABC] --settings start.txt
    QTest::addColumn<int>("fsizeKiB");
    QTest::addColumn<QByteArray>("rawPdf");
    QTest::addColumn<bool>("noFonts");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("window"); // the same failure through the window, if it has one
    QTest::addColumn<QString>("windowFile");
    const auto none = int(WindowPath::None);

    QTest::newRow("PDF on a full disk")
        << QStringList{"--pdf", "out.pdf"} << kFullDiskKiB << QByteArray() << false << 1
        << "印刷ファイルを書き込めませんでした" << int(WindowPath::PrintPdf) << "out.pdf";
    QTest::newRow("PDF and workbook on a full disk")
        << QStringList{"--pdf", "out.pdf", "--xls", "out.xls"} << kFullDiskKiB << QByteArray()
        << false << 1 << "書き込めませんでした" << none << "";
    QTest::newRow("printer fails after the workbook was written")
        << QStringList{"--printer", "corvial-no-such-printer", "--xls", "out.xls"} << 0
        << QByteArray() << false << 1 << "プリンター「corvial-no-such-printer」" << none << "";
    QTest::newRow("PDF to a device")
        << QStringList{"--pdf", "/dev/full"} << 0 << QByteArray() << false << 2
        << "--pdf: このファイルには書き込めません: /dev/full\n通常のファイルではなくデバイスです。"
        << none << "";
    QTest::newRow("PDF to a FIFO") << QStringList{"--pdf", "fifo"} << 0 << QByteArray() << false
                                   << 2 << "--pdf: このファイルには書き込めません" << none << "";
    QTest::newRow("workbook to a device")
        << QStringList{"--pdf", "new.pdf", "--xls", "/dev/full"} << 0 << QByteArray() << false << 2
        << "--xls: このファイルには書き込めません" << none << "";
    QTest::newRow("workbook to a FIFO")
        << QStringList{"--pdf", "new.pdf", "--xls", "fifo"} << 0 << QByteArray() << false << 2
        << "名前付きパイプ" << int(WindowPath::Excel) << "fifo.xls";
    QTest::newRow("text from a FIFO")
        << QStringList{"--pdf", "new.pdf", "--text-file", "fifo"} << 0 << QByteArray() << false << 2
        << "--text-file: 文字のファイルを読み込めませんでした" << none << "";
    QTest::newRow("PDF and workbook one file")
        << QStringList{"--pdf", "job.out", "--xls", "job.out"} << 0 << QByteArray() << false << 2
        << "--pdf と --xls が同じファイルです" << none << "";
    QTest::newRow("PDF over the settings")
        << QStringList{"--pdf", "./start.txt"} << 0 << QByteArray() << false << 2
        << "--pdf と --settings が同じファイルです" << none << "";
    QTest::newRow("file name not UTF-8") << QStringList() << 0 << QByteArray("lab\\351.pdf")
                                         << false << 2 << "--pdf: ファイル名に UTF-8" << none << "";
    QTest::newRow("no font draws the text")
        << QStringList{"--pdf", "new.pdf"} << 0 << QByteArray() << true << 1
        << "文字「A」（U+0041）を描けるフォントがありません" << none << "";
}

void TestOutputs::failuresMoveNothing()
{
    QFETCH(QStringList, args);
    QFETCH(int, fsizeKiB);
    QFETCH(QByteArray, rawPdf);
    QFETCH(bool, noFonts);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, window);
    QFETCH(QString, windowFile);

    Scene scene;
    QVERIFY(scene.make());
    const QStringList before = scene.entries();
    QStringList job{"-t", "2", "-n", "30", "--settings", "start.txt"};
    if (!args.contains(QStringLiteral("--text-file")))
        job << "--text"
            << "ABC";
    const Run r = runBatch(scene, job + args, fsizeKiB, rawPdf, noFonts);
    QVERIFY2(r.status == status, qPrintable(QStringLiteral("%1: %2").arg(r.status).arg(r.err)));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    scene.verifyUntouched(before);

    if (WindowPath(window) == WindowPath::None)
        return;
    auto dialogs = std::make_shared<PdfDialogs>();
    dialogs->pdfPath = scene.path(windowFile);
    dialogs->saveName = scene.path(windowFile);
    MainWindowEnvironment env;
    env.appDir = scene.dir.path();
    env.dialogs = dialogs;
    TfrmMain w(env);
    chooseType(w, 2);
    w.Memo8->setPlainText(QStringLiteral("ABC"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    const int start = w.editor().startPos[2];
    const int first = w.editor().initialValue;
    if (WindowPath(window) == WindowPath::Excel) {
        QTest::mouseClick(w.cmdExcel, Qt::LeftButton);
    } else {
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit small = saved;
        small.rlim_cur = rlim_t(fsizeKiB) * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
        // The window prints away from its thread; the test waits for the end.
        const bool ended = QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(ended);
    }
    QCOMPARE(dialogs->errors.size(), 1);
    QVERIFY2(dialogs->errors.constFirst().contains(message), qPrintable(dialogs->errors.first()));
    QCOMPARE(w.editor().startPos[2], start);
    QCOMPARE(w.editor().initialValue, first);
    QVERIFY(!w.pnlPrint->isHidden());
    scene.verifyUntouched(before);
}

// A start.txt too long to read at start is never replaced by the values in use: they are
// defaults, not what the file holds.
void TestOutputs::unreadableSettingsAreNotSavedOver()
{
    Scene scene;
    QVERIFY(scene.make());
    QByteArray huge = "3,3,7\r\n";
    huge += QByteArray(MaxSettingsBytes + 10, 'x');
    {
        QFile f(scene.path(QStringLiteral("start.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(huge) == huge.size());
    }
    auto dialogs = std::make_shared<FakeDialogs>();
    MainWindowEnvironment env;
    env.appDir = scene.dir.path();
    env.dialogs = dialogs;
    TfrmMain w(env);
    w.showStartupWarnings();
    QCOMPARE(dialogs->messages.size(), 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    clickRow(w.ListBox25, 3);
    QCOMPARE(dialogs->errors.size(), 1);
    QVERIFY2(dialogs->errors.constFirst().contains(QStringLiteral("上書きしません")),
             qPrintable(dialogs->errors.constFirst()));
    QCOMPARE(scene.read(QStringLiteral("start.txt")), huge);
}

// What a killed run left beside its output goes at the next job that writes it, once it is
// old enough to belong to no running job; nothing else is touched.
void TestOutputs::abandonedVersionsAreRemoved()
{
    Scene scene;
    QVERIFY(scene.make());
    const QStringList leftovers{".out.pdf.corvial-Ab3dEf", ".out.pdf.corvial-fresh1",
                                ".out.pdf.corvial-toolong7", ".other.pdf.corvial-Ab3dEf"};
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &name : leftovers) {
        QFile f(scene.path(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1 && f.flush());
        if (!name.contains(QLatin1String("fresh")))
            QVERIFY(f.setFileTime(hourAgo, QFileDevice::FileModificationTime));
    }
    const Run r = runBatch(scene, {"-t", "2", "-n", "3", "--text", "AB", "--pdf", "out.pdf"}, 0,
                           QByteArray(), false);
    QVERIFY2(r.status == 0, qPrintable(r.err));
    for (const QString &name : leftovers)
        QCOMPARE(QFile::exists(scene.path(name)), name != leftovers.constFirst());
    QVERIFY(scene.read(QStringLiteral("out.pdf")).startsWith("%PDF-"));
}

QTEST_MAIN(TestOutputs)
#include "tst_outputs.moc"
