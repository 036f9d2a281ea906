// SPDX-License-Identifier: GPL-3.0-or-later
// The version and library notice windows are built from their Designer forms: every control
// the form names is there with the form's parent, class, bounds and caption, and the window
// has no named control the form lacks.
#include "FormReader.h"
#include "TAboutBox.h"
#include "TfrmLib.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace corvial;

namespace {

std::unique_ptr<QWidget> createWindow(const QString &form)
{
    if (form == u"TAboutBox.ui") {
        auto w = std::make_unique<TAboutBox>();
        // The rest of the program reaches the form's controls through these members.
        if (w->OKButton != w->findChild<QPushButton *>(QStringLiteral("OKButton")))
            return nullptr;
        return w;
    }
    auto w = std::make_unique<TfrmLib>();
    if (w->Memo1 != w->findChild<QPlainTextEdit *>(QStringLiteral("Memo1")) ||
        w->Button1 != w->findChild<QPushButton *>(QStringLiteral("Button1")))
        return nullptr;
    return w;
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void windowIsItsForm_data();
    void windowIsItsForm();
};

void TestForms::windowIsItsForm_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("version window") << QStringLiteral("TAboutBox.ui");
    QTest::newRow("library notice") << QStringLiteral("TfrmLib.ui");
}

void TestForms::windowIsItsForm()
{
    QFETCH(QString, form);
    QString error;
    const QList<FormWidget> widgets =
        readForm(QStringLiteral(CORVIAL_FORMS_DIR "/") + form, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(widgets.size() > 1);
    const std::unique_ptr<QWidget> window = createWindow(form);
    QVERIFY2(window, "a public control pointer is not the form's control");

    // The window's own size is the form's; where it opens is decided at run time.
    const FormWidget &top = widgets.first();
    QCOMPARE(window->objectName(), top.name);
    QCOMPARE(window->size(), top.geometry.size());
    QCOMPARE(window->windowTitle(), top.strings.value(QStringLiteral("windowTitle")));

    QStringList formNames;
    for (const FormWidget &f : widgets.mid(1)) {
        formNames << f.name;
        const auto *w = window->findChild<QWidget *>(f.name);
        QVERIFY2(w, qPrintable(f.name));
        QVERIFY2(w->inherits(f.className.toLatin1()), qPrintable(f.name));
        QCOMPARE(w->parentWidget()->objectName(), f.parentName);
        QCOMPARE(w->pos(), f.geometry.topLeft());
        // A one-line label fits its text in the face the PC has; every other box is the form's.
        const auto *label = qobject_cast<const QLabel *>(w);
        const QSize size = label && !label->wordWrap() ? label->sizeHint() : f.geometry.size();
        QCOMPARE(w->size(), size);
        for (auto p = f.strings.cbegin(); p != f.strings.cend(); ++p) {
            // The version is the one caption the build completes.
            const QString expected =
                f.name == u"Version" ? p.value() + QStringLiteral(CORVIAL_VERSION) : p.value();
            QCOMPARE(w->property(p.key().toLatin1()).toString(), expected);
        }
    }

    // No control is made in code behind the form's back (Qt's own parts are named qt_*).
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
            QVERIFY2(formNames.contains(w->objectName()), qPrintable(w->objectName()));
    }
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
