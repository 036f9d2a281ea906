// SPDX-License-Identifier: GPL-3.0-or-later
// What the window is drawn with when it starts: its buttons' pictures are its own whatever
// the desktop's icon theme, and its controls name the faces they are really drawn in.
#include "WindowSupport.h"
#include "job/Fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QRegularExpression>
#include <QToolButton>

using namespace corvial;

namespace {

const QColor kThemeColour(255, 0, 255);

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buttonsShowTheProgramsOwnPictures();
    void controlsNameTheInstalledFace_data();
    void controlsNameTheInstalledFace();

private:
    QTemporaryDir mThemes;
};

void TestStartup::initTestCase()
{
    installJapaneseFontSubstitutions(); // as the program starts
}

// With a desktop theme that has a picture, all of one colour, under every name the buttons
// were ever asked for by.
void TestStartup::buttonsShowTheProgramsOwnPictures()
{
    QVERIFY(mThemes.isValid());
    const QString actions = mThemes.filePath(QStringLiteral("corvialtest/32x32/actions"));
    QVERIFY(QDir().mkpath(actions));
    QFile index(mThemes.filePath(QStringLiteral("corvialtest/index.theme")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=corvialtest\nDirectories=32x32/actions\n\n"
                "[32x32/actions]\nSize=32\nType=Fixed\n");
    index.close();
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(kThemeColour);
    for (const char *name : {"help-about", "x-office-spreadsheet", "go-previous",
                             "application-exit", "document-print"})
        QVERIFY(picture.save(actions + QLatin1Char('/') + QLatin1String(name) + ".png"));
    QIcon::setThemeSearchPaths({mThemes.path()});
    QIcon::setThemeName(QStringLiteral("corvialtest"));
    QVERIFY(QIcon::hasThemeIcon(QStringLiteral("document-print")));

    WindowFixture fx;
    TfrmMain &w = fx.create();
    const QList<QToolButton *> buttons =
        w.findChildren<QToolButton *>(QRegularExpression(QStringLiteral("^cmd")));
    QVERIFY(!buttons.isEmpty());
    for (const QToolButton *b : buttons) {
        const QString name = b->objectName();
        // Drawn for the size the button shows it at, not scaled from another.
        const QPixmap shown = b->icon().pixmap(b->iconSize());
        QVERIFY2(shown.size() == b->iconSize(), qPrintable(name));
        const QImage image = shown.toImage();
        QVERIFY2(image.pixelColor(image.rect().center()) != kThemeColour, qPrintable(name));
    }
}

void TestStartup::controlsNameTheInstalledFace_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("face");
    QTest::newRow("window's face") << QStringLiteral("Label3") << uiFaceName();
    QTest::newRow("print setting's face") << QStringLiteral("cmdPrintSet") << verticalFaceName();
}

// A control naming a face that is not installed makes Qt look for the stand-in again for
// every size, style and script; it names the stand-in itself, and draws the same face.
void TestStartup::controlsNameTheInstalledFace()
{
    QFETCH(QString, control);
    QFETCH(QString, face);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    const QWidget *c = w.findChild<QWidget *>(control);
    QVERIFY(c);
    QVERIFY2(QFontDatabase::hasFamily(c->font().family()), qPrintable(c->font().family()));
    QCOMPARE(QFontInfo(c->font()).family(), QFontInfo(QFont(face)).family());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
